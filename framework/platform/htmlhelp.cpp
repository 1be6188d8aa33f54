#include "htmlhelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QTextDocument>
#include <QTreeWidget>

namespace vx::platform {
namespace {

constexpr int kPathRole = Qt::UserRole;
const QString kScheme = QStringLiteral("chm");

QPointer<HelpViewer> g_viewer;
std::function<void(const QString&)> g_messageHandler;

void tell(const QString& text) {
    if (g_messageHandler) {
        g_messageHandler(text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Справка"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void deleteViewer() { delete g_viewer.data(); }

HelpViewer* viewerFor(const QString& helpFile) {
    if (helpFile.trimmed().isEmpty()) return nullptr;
    const QString path = resolveHelpFile(helpFile);
    if (path.isEmpty()) {
        tell(QStringLiteral("Файл справки «%1» не найден.").arg(helpFile));
        return nullptr;
    }
    if (!g_viewer) {
        g_viewer = new HelpViewer;
        static bool routineAdded = false;
        if (!routineAdded) {
            qAddPostRoutine(deleteViewer);  // before QApplication takes the widget system down
            routineAdded = true;
        }
    }
    QString error;
    if (!g_viewer->openFile(path, &error)) {
        tell(error);
        return nullptr;
    }
    return g_viewer;
}

QTreeWidgetItem* findItem(QTreeWidgetItem* item, const QString& path) {
    if (normalizeHelpPath(item->data(0, kPathRole).toString()).compare(path, Qt::CaseInsensitive) == 0 &&
        !item->data(0, kPathRole).toString().isEmpty())
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* f = findItem(item->child(i), path)) return f;
    return nullptr;
}

void addEntries(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<HelpContentsEntry>& entries) {
    for (const HelpContentsEntry& e : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, e.name.isEmpty() ? e.local : e.name);
        item->setData(0, kPathRole, e.local);
        addEntries(item, tree, e.children);
    }
}

}  // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);  // links are followed by the viewer, inside the archive only
}

QUrl ChmBrowser::urlFor(const QString& archivePath) {
    QUrl u;
    u.setScheme(kScheme);
    u.setPath(archivePath.startsWith(u'/') ? archivePath : u'/' + archivePath);
    return u;
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    // Nothing outside the help file is ever loaded: a topic cannot reach local files or the network.
    if (!archive_ || name.scheme() != kScheme) return {};
    const auto bytes = archive_->read(name.path(QUrl::FullyDecoded));
    if (!bytes) return {};
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return decodeHelpText(*bytes);
    return *bytes;  // pictures: the document decodes the bytes itself
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Справка"));
    setObjectName(QStringLiteral("HelpViewer"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    tree_ = new QTreeWidget(splitter_);
    tree_->setHeaderHidden(true);
    tree_->setObjectName(QStringLiteral("contents"));
    browser_ = new ChmBrowser(splitter_);
    browser_->setObjectName(QStringLiteral("topic"));
    splitter_->addWidget(tree_);
    splitter_->addWidget(browser_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({260, 640});
    layout->addWidget(splitter_);
    resize(900, 600);
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { itemChosen(item); });
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { itemChosen(item); });
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { followLink(url); });
}

bool HelpViewer::openFile(const QString& path, QString* error) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (archive_ && QFileInfo(archive_->fileName()).canonicalFilePath() == canonical && !canonical.isEmpty())
        return true;
    std::shared_ptr<ChmArchive> a = ChmArchive::open(path, error);
    if (!a) return false;
    archive_ = a;
    browser_->setArchive(archive_);
    browser_->clear();
    browser_->clearHistory();
    setWindowTitle(archive_->title().isEmpty() ? QStringLiteral("Справка") : archive_->title());
    fillTree();
    return true;
}

void HelpViewer::fillTree() {
    tree_->clear();
    if (archive_) addEntries(nullptr, tree_, archive_->contents());
    tree_->expandAll();
}

void HelpViewer::present() {
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
}

void HelpViewer::showContents() {
    tree_->show();
    if (currentTopic().isEmpty() && archive_) {
        QString first = archive_->defaultTopic();
        if (first.isEmpty() && tree_->topLevelItemCount() > 0)
            first = tree_->topLevelItem(0)->data(0, kPathRole).toString();
        if (!first.isEmpty()) showTopic(first, nullptr);
    }
    present();
    tree_->setFocus();
}

bool HelpViewer::showTopic(const QString& topic, QString* error) {
    if (!archive_) return false;
    const QString path = archive_->resolve(normalizeHelpPath(topic));
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("В файле справки нет раздела «%1».").arg(topic);
        return false;
    }
    QUrl url = ChmBrowser::urlFor(path);
    if (const qsizetype hash = topic.indexOf(u'#'); hash >= 0) url.setFragment(topic.mid(hash + 1));
    browser_->setSource(url, QTextDocument::HtmlResource);
    selectItemFor(path);
    present();
    return true;
}

QString HelpViewer::currentTopic() const {
    const QUrl u = browser_->source();
    return u.isEmpty() ? QString() : u.path(QUrl::FullyDecoded);
}

void HelpViewer::followLink(const QUrl& link) {
    const QUrl url = browser_->source().resolved(link);
    if (url.scheme() != kScheme) return;  // mail and web addresses are plain text in our topics
    if (url.path().isEmpty() || url.path() == browser_->source().path()) {
        browser_->scrollToAnchor(url.fragment(QUrl::FullyDecoded));
        return;
    }
    QString topic = url.path(QUrl::FullyDecoded);
    if (url.hasFragment()) topic += u'#' + url.fragment(QUrl::FullyDecoded);
    showTopic(topic, nullptr);
}

void HelpViewer::selectItemFor(const QString& path) {
    const QSignalBlocker block(tree_);
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* f = findItem(tree_->topLevelItem(i), path)) {
            tree_->setCurrentItem(f);
            return;
        }
    tree_->clearSelection();
}

void HelpViewer::itemChosen(QTreeWidgetItem* item) {
    const QString local = item ? item->data(0, kPathRole).toString() : QString();
    if (local.isEmpty()) return;
    QString error;
    if (!showTopic(local, &error)) tell(error);
}

QString resolveHelpFile(const QString& helpFile) {
    const QString name = helpFile.trimmed();
    if (name.isEmpty()) return {};
    const QFileInfo direct(name);
    if (direct.isAbsolute()) return direct.isFile() ? direct.absoluteFilePath() : QString();
    if (direct.isFile()) return direct.absoluteFilePath();
    if (QCoreApplication::instance()) {
        const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()).filePath(name));
        if (beside.isFile()) return beside.absoluteFilePath();
    }
    return {};
}

bool htmlHelpDisplayContents(const QString& helpFile) {
    HelpViewer* v = viewerFor(helpFile);
    if (!v) return false;
    v->showContents();
    return true;
}

bool htmlHelpDisplayTopic(const QString& helpFile, const QString& topic) {
    HelpViewer* v = viewerFor(helpFile);
    if (!v) return false;
    QString error;
    if (!v->showTopic(topic, &error)) {
        tell(error);
        return false;
    }
    return true;
}

HelpViewer* htmlHelpViewer() { return g_viewer; }

void closeHtmlHelp() { deleteViewer(); }

void setHtmlHelpMessageHandler(std::function<void(const QString&)> handler) { g_messageHandler = std::move(handler); }

}  // namespace vx::platform
