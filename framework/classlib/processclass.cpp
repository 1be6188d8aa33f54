#include "processclass.h"

#include <algorithm>
#include <regex>

#include "framework/engine/window.h"
#include "framework/store/store.h"
#include "framework/types/codepage.h"

namespace vx {

// ------------------------------------------------------------------ the view

void ViewClass::Init(FileManager& primary) {
    primary_ = &primary;
    if (primary.Record && primary.Buffer && !bound_) {
        eval_.bindRecord(*primary.Record, primary.Buffer);
        bound_ = true;
    }
}

void ViewClass::Kill() {
    if (primary_ && primary_->Record && bound_) eval_.unbindRecord(*primary_->Record);
    bound_ = false;
    primary_ = nullptr;
}

int ViewClass::Reset() {
    filterError_.clear();
    hasFilter_ = false;
    bool blank = std::all_of(filterText_.begin(), filterText_.end(), [](char c) { return c == ' '; });
    if (!blank) {
        filter_ = eval_.compile(filterText_);
        filterError_ = filter_.error();
        hasFilter_ = true;
    }
    if (!primary_) return Level::Notify;
    if (primary_->UseFile() != Level::Benign) return Level::Notify;
    return primary_->File->setStart(key_) == store::NoError ? Level::Benign : Level::Notify;
}

int ViewClass::NextRaw() {
    if (!primary_) return Level::Notify;
    return primary_->TryNext() == store::NoError ? Level::Benign : Level::Notify;
}

bool ViewClass::Passes() const { return !hasFilter_ || filter_.holds(); }

// ------------------------------------------------------------------ the process

void ProcessClass::Init(ViewClass& view, RelationManager& relation, int percentControl, std::uint8_t* progress,
                        StepClass* step, VarRef progressField) {
    View = &view;
    Relation = &relation;
    PercentControl = percentControl;
    Progress = progress;
    Step = step;
    ProgressField = progressField;
    if (relation.Me && !view.Primary()) view.Init(*relation.Me);
    read_ = processed_ = 0;
    percent_ = -1;
    if (Progress) *Progress = 0;
}

void ProcessClass::Kill() {
    counting_.reset();
    if (Step) Step->Kill();
    if (View) View->Kill();
    rows_.clear();
}

void ProcessClass::AddSortOrder(int key) {
    if (View) View->SetOrder(key);
}

void ProcessClass::AppendOrder(const std::string& order) {
    if (order.find_first_not_of(' ') == std::string::npos) return;
    if (!orderText_.empty()) orderText_ += ',';
    orderText_ += order;
}

void ProcessClass::SetFilter(const std::string& filter) {
    if (View) View->SetFilter(filter);
}

int ProcessClass::Reset() {
    if (!View || !View->Primary()) return Level::Notify;
    FileManager& f = *View->Primary();
    counting_.reset();
    counting_ = std::make_unique<FileManager::ReadOperation>(f, FileManager::ReadOperation::Count);
    read_ = processed_ = 0;
    rows_.clear();
    next_ = 0;
    sorted_ = reading_ = false;
    percent_ = -1;
    if (Progress) *Progress = 0;
    if (f.UseFile() != Level::Benign) return Level::Notify;
    fileRecords_ = f.Records();
    if (Step && ProgressField.valid() && Step->SetLimitNeeded() && View->Order() > 0) {
        // The first and last values of the order give the estimator its range.
        std::string low, high;
        const std::string saved = f.SaveBuffer();
        if (f.File->setStart(View->Order()) == store::NoError && f.TryNext() == store::NoError) {
            low.assign(reinterpret_cast<const char*>(ProgressField.data), ProgressField.size);
            if (f.File->setEnd(View->Order()) == store::NoError && f.TryPrevious() == store::NoError) {
                high.assign(reinterpret_cast<const char*>(ProgressField.data), ProgressField.size);
                VarRef lo = ProgressField, hi = ProgressField;
                lo.data = reinterpret_cast<unsigned char*>(low.data());
                hi.data = reinterpret_cast<unsigned char*>(high.data());
                Step->SetLimit(lo, hi);
            }
        }
        f.RestoreBuffer(saved);
    }
    // The order: the key's fields, then the order text.
    order_.Clear();
    if (!orderText_.empty()) {
        const int key = View->Order();
        if (f.File && key > 0 && key <= int(f.File->desc().keys.size()))
            for (const store::KeyComponent& kc : f.File->desc().keys[key - 1].components)
                order_.AddField(*kc.field, f.Buffer, !kc.ascending);
        order_.AddText(View->Bindings(), orderText_);
        sorted_ = reading_ = true;
    }
    ShowProgress();
    return View->Reset();
}

bool ProcessClass::readRaw() {
    if (View->NextRaw() != Level::Benign) return false;
    ++read_;
    if (Step && ProgressField.valid() && !Step->SetLimitNeeded()) {
        percent_ = std::clamp(Step->GetPercentile(ProgressField), 0, 100);
    } else if (fileRecords_ > 0) {
        percent_ = int(std::min<long long>(100, read_ * 100 / fileRecords_));
    }
    return true;
}

void ProcessClass::setPercent(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    if (Progress) *Progress = std::uint8_t(percent_);
}

int ProcessClass::Read() {
    if (!Reading()) return Level::Notify;
    if (readRaw()) {
        setPercent(percent_ / 2);
        if (View->Passes()) rows_.push_back({View->Primary()->Position(), order_.Of()});
        return Level::Benign;
    }
    std::stable_sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) { return order_.Less(a.values, b.values); });
    reading_ = false;
    next_ = 0;
    setPercent(50);
    if (rows_.empty()) tellLeftOut();
    return Level::Notify;
}

int ProcessClass::Next() {
    if (!View) return Level::Notify;
    if (sorted_) {
        if (reading_) return Level::Notify;
        FileManager& f = *View->Primary();
        while (next_ < rows_.size()) {
            const Row& row = rows_[next_++];
            setPercent(50 + int(next_ * 50 / rows_.size()));
            if (int err = f.TryReget(row.position); err != store::NoError) {  // deleted since the reading
                if (err == store::DataFileDamaged && counting_) counting_->Note(row.position);
                continue;
            }
            if (View->Passes()) return Level::Benign;  // else: changed since then
        }
        setPercent(100);
        tellLeftOut();
        return Level::Notify;
    }
    while (readRaw()) {
        if (Progress) *Progress = std::uint8_t(std::max(percent_, 0));
        if (View->Passes()) return Level::Benign;
    }
    setPercent(100);
    tellLeftOut();
    return Level::Notify;
}

// Once, at the end of the view: how many records could not be read.
void ProcessClass::tellLeftOut() {
    if (!counting_) return;
    const FileManager::LeftOut left = counting_->Passed();
    counting_.reset();
    if (View && View->Primary())
        View->Primary()->TellLeftOut(left, QStringLiteral("Отчёт неполон: пропущено записей, которые не удалось прочитать: %1.").arg(left.Count()));
}

int ProcessClass::TakeRecord() {
    ++processed_;
    return Level::Benign;
}

QString ProcessClass::FilterProblem() const {
    if (View && !View->FilterError().empty())
        return QStringLiteral("в условии отбора %1").arg(ExpressionProblem(View->FilterError()));
    if (!order_.Error().empty()) return QStringLiteral("в порядке сортировки %1").arg(ExpressionProblem(order_.Error()));
    return {};
}

void ProcessClass::ShowProgress() {
    if (!window_ || !PercentControl) return;
    const int p = std::max(percent_, 0);
    window_->setProp(PercentControl, eng::Prop::Text, QStringLiteral("%1% Complete").arg(p));
}

// ------------------------------------------------------------------ the reasons in Russian

QString ExpressionProblem(const std::string& reason) {
    // The evaluator's reasons: "<what> at <position>"; a quoted token inside <what> is kept.
    struct Rule {
        const char* pattern;
        const char* russian;  // %1: the quoted token
    };
    static const Rule rules[] = {
        {"empty expression", "нет выражения"},
        {"unexpected character '(.*)'", "недопустимый знак «%1»"},
        {"unexpected '(.*)'", "лишнее «%1»"},
        {"malformed number", "неверно записано число"},
        {"unterminated string", "не закрыта кавычка текста"},
        {"expression too long or nested too deeply", "выражение слишком длинное или сложное"},
        {"expression nested too deeply", "выражение слишком сложное"},
        {"missing '\\)'", "не хватает закрывающей скобки"},
        {"expected ',' or '\\)' but found '(.*)'", "вместо «%1» ожидается запятая или закрывающая скобка"},
        {"expected '\\)' but found '(.*)'", "вместо «%1» ожидается закрывающая скобка"},
        {"number too large", "слишком большое число"},
        {"operand expected before '(.*)'", "перед «%1» не хватает значения"},
        {"operand expected at the end", "в конце не хватает значения"},
        {"operand expected but found '(.*)'", "вместо «%1» ожидается значение"},
        {"'(.*)' is a function and needs arguments", "«%1» — функция, ей нужны аргументы в скобках"},
        {"wrong number of arguments for '(.*)'", "неверное число аргументов функции «%1»"},
        {"'(.*)' is not a function", "«%1» — не функция"},
        {"unknown function '(.*)'", "неизвестная функция «%1»"},
        {"unknown name '(.*)'", "неизвестное имя «%1»"},
        {"ambiguous name '(.*)': .*", "имя «%1» неоднозначно: укажите его с приставкой файла"},
    };
    std::string what = reason;
    std::string position;
    static const std::regex at("^(.*) at ([0-9]+)$");
    if (std::smatch m; std::regex_match(reason, m, at)) {
        what = m[1];
        position = m[2];
    }
    QString text;
    for (const Rule& r : rules) {
        std::smatch m;
        if (!std::regex_match(what, m, std::regex(r.pattern))) continue;
        text = QString::fromUtf8(r.russian);
        if (m.size() > 1) text = text.arg(cp::fromCp1251(m[1].str()));
        break;
    }
    if (text.isEmpty()) text = cp::fromCp1251(what);
    if (!position.empty()) text += QStringLiteral(" (знак %1)").arg(QString::fromStdString(position));
    return text;
}

}  // namespace vx
