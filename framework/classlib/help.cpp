#include "help.h"

#include "framework/platform/htmlhelp.h"

namespace vx {

namespace ev = eng::ev;

void HelpClass::Init(WindowManager& wm, const QString& helpFile, int helpKey) {
    wm_ = &wm;
    file_ = helpFile;
    key_ = helpKey;
    wm.AddItem(*this);
    SetAlerts(wm);
}

void HelpClass::Kill() {
    if (wm_) wm_->RemoveItem(*this);
    wm_ = nullptr;
    topics_.clear();
}

void HelpClass::SetAlerts(WindowManager& wm) {
    if (!wm.WindowPtr()) return;
    if (key_) wm.Win().alert(key_);
    wm.Win().alert(eng::key::F1);
}

bool HelpClass::ShowContents() {
    if (file_.trimmed().isEmpty()) return false;
    return platform::htmlHelpDisplayContents(file_);
}

bool HelpClass::ShowTopic(const QString& topic) {
    if (file_.trimmed().isEmpty()) return false;
    return platform::htmlHelpDisplayTopic(file_, topic);
}

bool HelpClass::Show() {
    if (file_.trimmed().isEmpty()) return false;
    const int focus = wm_ && wm_->WindowPtr() ? wm_->Win().focus() : 0;
    if (auto it = topics_.find(focus); focus && it != topics_.end() && !it->second.isEmpty()) return ShowTopic(it->second);
    if (!topic_.isEmpty()) return ShowTopic(topic_);
    return ShowContents();
}

int HelpClass::TakeEvent(WindowManager& wm) {
    if (!wm.WindowPtr()) return Level::Benign;
    eng::Window& w = wm.Win();
    if (w.event() != ev::AlertKey) return Level::Benign;
    const int k = w.keycode();
    if (k != eng::key::F1 && !(key_ && k == key_)) return Level::Benign;
    if (file_.trimmed().isEmpty()) return Level::Benign;
    Show();
    return Level::Notify;
}

}  // namespace vx
