#pragma once
// The HTML help the program shows: a help file's table of contents, or one topic of it, in one
// viewer window reused across calls. The window is an ordinary non-modal top-level window; no
// call here waits for it or runs an event loop of its own.

#include "chm.h"

#include <QTextBrowser>
#include <QWidget>

#include <functional>
#include <memory>

class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace vx::platform {

// Topics come from the archive through loadResource; links and pictures resolve inside it.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ChmBrowser(QWidget* parent = nullptr);
    void setArchive(std::shared_ptr<const ChmArchive> archive) { archive_ = std::move(archive); }
    QVariant loadResource(int type, const QUrl& name) override;

    static QUrl urlFor(const QString& archivePath);  // "/Контакты.htm" -> chm:/Контакты.htm

private:
    std::shared_ptr<const ChmArchive> archive_;
};

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Loads the help file unless it is the one already shown; false with a reason otherwise.
    bool openFile(const QString& path, QString* error);
    // Shows the window with the table of contents; the first time also the default topic.
    void showContents();
    // Shows the topic ("Контакты.htm", "/a/b.htm#part"); false with a reason when the file lacks it.
    bool showTopic(const QString& topic, QString* error);

    // The archive path of the topic on show ("/Контакты.htm"), empty before the first.
    QString currentTopic() const;
    const ChmArchive* archive() const { return archive_.get(); }
    QTreeWidget* contentsTree() const { return tree_; }
    ChmBrowser* browser() const { return browser_; }

private:
    void fillTree();
    void followLink(const QUrl& url);
    void selectItemFor(const QString& path);
    void itemChosen(QTreeWidgetItem* item);
    void present();

    std::shared_ptr<const ChmArchive> archive_;
    QSplitter* splitter_;
    QTreeWidget* tree_;
    ChmBrowser* browser_;
};

// The two calls of the help system. An empty file name does nothing (false, no message).
// A file named without a directory is looked for in the working directory, then beside the
// program. A missing or damaged file or topic is told through the message handler.
bool htmlHelpDisplayContents(const QString& helpFile);
bool htmlHelpDisplayTopic(const QString& helpFile, const QString& topic);

// Where a help file name leads; empty when no such file exists.
QString resolveHelpFile(const QString& helpFile);

// The viewer window, or null when help has not been shown (or it was closed with closeHtmlHelp).
HelpViewer* htmlHelpViewer();
void closeHtmlHelp();

// Receives the help system's messages. By default a non-modal message box shows them.
void setHtmlHelpMessageHandler(std::function<void(const QString&)> handler);

}  // namespace vx::platform
