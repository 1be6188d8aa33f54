#pragma once
// The help object of a window procedure (the HTML help class). Init gives it the help file and
// the help key (F12 in every procedure); F1 acts as the same key. On the key it shows the topic
// registered for the focused control, else the topic last set for the procedure, else the help
// file's table of contents. With an empty help-file name the key does nothing at all.
// The object is a component of the window manager; Kill takes it out again.

#include <QString>

#include <map>

#include "framework/classlib/windowmanager.h"

namespace vx {

class HelpClass : public WindowComponent {
public:
    void Init(WindowManager& wm, const QString& helpFile, int helpKey = eng::key::F12);
    void Kill();

    void SetHelpFile(const QString& helpFile) { file_ = helpFile; }
    const QString& HelpFile() const { return file_; }
    void SetTopic(const QString& topic) { topic_ = topic; }
    const QString& Topic() const { return topic_; }
    void AddItem(int feq, const QString& topic) { topics_[feq] = topic; }
    int HelpKey() const { return key_; }

    // Shows what the key shows for the focused control; false when nothing was shown.
    bool Show();
    bool ShowContents();
    bool ShowTopic(const QString& topic);

    int TakeEvent(WindowManager& wm) override;
    void SetAlerts(WindowManager& wm) override;

private:
    WindowManager* wm_ = nullptr;
    QString file_, topic_;
    std::map<int, QString> topics_;
    int key_ = eng::key::F12;
};

}  // namespace vx
