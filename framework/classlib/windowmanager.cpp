#include "windowmanager.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "framework/engine/threads.h"

namespace vx {

using eng::CType;
using eng::Prop;
namespace ev = eng::ev;

WindowManager::~WindowManager() = default;

// ------------------------------------------------------------------ the window

eng::Window& WindowManager::Open(const QString& layoutPath) {
    owned_ = std::make_unique<eng::Window>(layoutPath);
    window_ = owned_.get();
    return *window_;
}

void WindowManager::Attach(eng::Window& window) {
    owned_.reset();
    window_ = &window;
}

eng::Window& WindowManager::Win() const {
    if (!window_) throw std::logic_error("the window manager has no open window");
    return *window_;
}

void WindowManager::CloseWindow() {
    owned_.reset();
    window_ = nullptr;
}

// ------------------------------------------------------------------ components

void WindowManager::AddItem(WindowComponent& item) {
    if (std::find(items_.begin(), items_.end(), &item) == items_.end()) items_.push_back(&item);
}

void WindowManager::RemoveItem(WindowComponent& item) { std::erase(items_, &item); }

void WindowManager::AddItem(int feq, int response) {
    std::erase_if(endButtons_, [feq](const EndButton& b) { return b.feq == feq; });
    endButtons_.push_back({feq, response});
}

// ------------------------------------------------------------------ steps

int WindowManager::Init() {
    Response = Response::None;
    Dead = false;
    closing_ = false;
    return Level::Benign;
}

int WindowManager::Kill() {
    items_.clear();
    endButtons_.clear();
    return Level::Benign;
}

int WindowManager::Run() {
    int level = Init();
    if (level == Level::Benign) Ask();
    Kill();
    CloseWindow();
    return Response ? Response : Response::Cancelled;
}

int WindowManager::Run(int, int) { return Response::Cancelled; }

int WindowManager::Ask() {
    if (!window_ || Dead) return Level::Benign;
    eng::Window& w = *window_;
    while (w.accept()) {
        const int level = TakeEvent();
        if (level == Level::Fatal) break;
        const bool close = w.event() == ev::CloseWindow || w.event() == ev::CloseDown;
        if (level == Level::Notify) {
            // A close the window's own steps turned down: it stays open, and a program that is
            // closing hears so.
            if (w.event() == ev::CloseDown && w.isOpen()) eng::closeDownRefused();
            w.cycle();
            continue;
        }
        if (close) {
            // The window stays open until Run has run Kill (which saves its position).
            w.cycle();
            break;
        }
    }
    Dead = true;
    return Level::Benign;
}

int WindowManager::TakeEvent() {
    eng::Window& w = Win();
    const int event = w.event();
    const int feq = w.field();
    int level = Level::Benign;
    if (feq == 0) {
        level = TakeWindowEvent();
        if (level) return level;
    }
    switch (event) {
    case ev::Accepted: level = TakeAccepted(); break;
    case ev::Rejected: level = TakeRejected(); break;
    case ev::Selected: level = TakeSelected(); break;
    case ev::NewSelection: level = TakeNewSelection(); break;
    case ev::AlertKey:
        if (HistoryKey && w.keycode() == HistoryKey) {
            RestoreField(w.focus());
            level = Level::Notify;
        }
        break;
    case ev::Sized: w.post(kResizeEvent); break;
    default: break;
    }
    if (level) return level;
    if (feq != 0) {
        level = TakeFieldEvent();
        if (level) return level;
    }
    // A component may leave the manager (the help object's Kill): walk a copy.
    const std::vector<WindowComponent*> items = items_;
    for (WindowComponent* item : items) {
        if (std::find(items_.begin(), items_.end(), item) == items_.end()) continue;
        level = item->TakeEvent(*this);
        if (level) return level;
    }
    return Level::Benign;
}

int WindowManager::TakeWindowEvent() {
    eng::Window& w = Win();
    switch (w.event()) {
    case ev::OpenWindow:
        if (FirstField) w.select(FirstField);
        break;
    case ev::CloseWindow:
    case ev::CloseDown:
        return TakeCloseEvent();
    case ev::Completed:
        return TakeCompleted();
    default:
        break;
    }
    return Level::Benign;
}

int WindowManager::TakeCloseEvent() {
    eng::Window& w = Win();
    if (closing_) return Level::Benign;
    const bool closeDown = w.event() == ev::CloseDown;
    const bool editing = Request == Request::Insert || Request == Request::Change;
    // Closing the program asks even a form whose own cancel never does: what it holds would be
    // lost for good.
    if (editing && (CancelAct == CancelAction::Confirm || closeDown) && Response != Response::Completed) {
        w.update();
        // A typed value the window refused: the user is told first, the close waits.
        if (w.valueRefused()) return Level::Notify;
        if (RecordChanged()) {
            int answer = Level::Benign;
            if (Errors) answer = Errors->Throw(Msg::ConfirmCancel);
            if (answer != Level::Benign) {
                if (FirstField) w.select(FirstField);
                return Level::Notify;  // No: the window stays open
            }
        }
    }
    // The application frame closes last: first every other thread's windows, each through its
    // own closing path. When one of them stays open, so does the frame, and the program goes on.
    if (&w == eng::Window::frame() && !eng::closeDownThreads()) return Level::Notify;
    closing_ = true;
    if (Response == Response::None) Response = Response::Cancelled;
    return Level::Benign;
}

int WindowManager::TakeAccepted() {
    eng::Window& w = Win();
    const int feq = w.field();
    if (OkControl && feq == OkControl && Request != Request::View) {
        w.acceptAll();
        return Level::Benign;
    }
    for (const EndButton& b : endButtons_)
        if (b.feq == feq) {
            Response = b.response;
            w.close();
            return Level::Benign;
        }
    return Level::Benign;
}

int WindowManager::TakeRejected() { return Level::Benign; }
int WindowManager::TakeSelected() { return Level::Benign; }
int WindowManager::TakeNewSelection() { return Level::Benign; }
int WindowManager::TakeFieldEvent() { return Level::Benign; }

void WindowManager::SetAlerts() {
    if (!window_) return;
    if (HistoryKey) window_->alert(HistoryKey);
    for (WindowComponent* item : items_) item->SetAlerts(*this);
}

void WindowManager::Update() {
    if (window_) window_->update();
    for (WindowComponent* item : items_) item->Update(*this);
}

void WindowManager::Reset(bool force) {
    if (window_) window_->display();
    for (WindowComponent* item : items_) item->Reset(*this, force);
}

// ------------------------------------------------------------------ update forms

void WindowManager::SaveOriginal() {
    if (!primary_ || !primary_->Buffer()) return;
    const auto* p = static_cast<const unsigned char*>(primary_->Buffer());
    original_.assign(p, p + primary_->Size());
    haveOriginal_ = true;
}

bool WindowManager::RecordChanged() const {
    if (!primary_ || !primary_->Buffer() || !haveOriginal_) return false;
    if (original_.size() != primary_->Size()) return true;
    return std::memcmp(original_.data(), primary_->Buffer(), original_.size()) != 0;
}

int WindowManager::PrimeUpdate() {
    SaveOriginal();
    switch (Request) {
    case Request::Insert:
        if (!InsertAllowed) return Level::Notify;
        break;
    case Request::Change:
        if (!ChangeAllowed) return Level::Notify;
        break;
    case Request::Delete:
        if (!DeleteAllowed || !primary_) {
            Response = Response::Cancelled;
            return Level::Notify;
        }
        if (DeleteAct == DeleteAction::Immediate) {
            Response = primary_->Delete() == Level::Benign ? Response::Completed : Response::Cancelled;
            return Level::Notify;
        }
        break;
    default:
        break;
    }
    return Level::Benign;
}

int WindowManager::TakeCompleted() {
    if (Request != Request::Insert && Request != Request::Change) return Level::Benign;
    if (!primary_) return Level::Benign;
    if (historyRecord_ && historyCopy_ && historyDesc_)
        std::memcpy(historyCopy_, historyRecord_, historyDesc_->size);
    const int level = Request == Request::Insert ? primary_->Insert() : primary_->Update();
    if (level != Level::Benign) {
        // The file manager has told the user why; the window stays open with the record as typed.
        return Level::Notify;
    }
    Response = Response::Completed;
    closing_ = true;
    Win().close();
    return Level::Benign;
}

void WindowManager::SetReadOnly(std::initializer_list<CType> kinds) {
    if (!window_) return;
    for (int feq : window_->controls()) {
        eng::Control* c = window_->control(feq);
        if (!c || feq <= 0) continue;
        if (std::find(kinds.begin(), kinds.end(), c->type) != kinds.end()) window_->setProp(feq, Prop::ReadOnly, true);
    }
}

void WindowManager::AddHistoryFile(const RecordDesc& desc, void* record, void* history) {
    historyDesc_ = &desc;
    historyRecord_ = record;
    historyCopy_ = history;
}

void WindowManager::AddHistoryField(int feq, int fieldNumber) {
    std::erase_if(historyFields_, [feq](const HistoryField& h) { return h.feq == feq; });
    historyFields_.push_back({feq, fieldNumber});
}

bool WindowManager::IsHistoryField(int feq) const {
    return std::any_of(historyFields_.begin(), historyFields_.end(), [feq](const HistoryField& h) { return h.feq == feq; });
}

void WindowManager::RestoreField(int feq) {
    if (!historyDesc_ || !historyRecord_ || !historyCopy_ || !window_) return;
    for (const HistoryField& h : historyFields_) {
        if (h.feq != feq) continue;
        if (h.field < 1 || h.field > static_cast<int>(historyDesc_->fields.size())) return;
        const FieldDesc& f = historyDesc_->fields[h.field - 1];
        std::memcpy(static_cast<unsigned char*>(historyRecord_) + f.offset,
                    static_cast<const unsigned char*>(historyCopy_) + f.offset, f.size);
        window_->display(feq);
        return;
    }
}

}  // namespace vx
