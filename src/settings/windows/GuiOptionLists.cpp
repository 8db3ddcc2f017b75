#include "settings/windows/GuiOptionLists.h"

#include <QComboBox>

namespace OptionTables {

OptionList ToOptionList(const QComboBox* combo) {
    OptionList list;
    for (int i = 0; i < combo->count(); ++i)
        list.items << combo->itemText(i);
    list.selected = combo->currentIndex();
    return list;
}

void ApplyOptionList(QComboBox* combo, const OptionList& list) {
    bool same = combo->count() == list.items.size();
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == list.items.at(i);
    if (!same) {
        combo->clear();
        combo->addItems(list.items);
    }
    combo->setCurrentIndex(list.selected);
}

namespace {

template <typename Routine> void OnCombo(QComboBox* combo, Routine routine) {
    OptionList list = ToOptionList(combo);
    routine(list);
    ApplyOptionList(combo, list);
}

} // namespace

void SelectByCode(QComboBox* combo, const QString& value) {
    OnCombo(combo, [&](OptionList& l) { SelectByCode(l, value); });
}

void SelectByText(QComboBox* combo, const QString& value) {
    OnCombo(combo, [&](OptionList& l) { SelectByText(l, value); });
}

void SelectByTextExact(QComboBox* combo, const QString& value) {
    OnCombo(combo, [&](OptionList& l) { SelectByTextExact(l, value); });
}

QString KvWordList(QComboBox* combo, const QString& value, int index, const QStringList& words) {
    QString word;
    OnCombo(combo, [&](OptionList& l) { word = KvWordList(l, value, index, words); });
    return word;
}

void FillSpeedList(QComboBox* combo, const QString& model) {
    OnCombo(combo, [&](OptionList& l) { FillSpeedList(l, model); });
}

void FillNumberList(QComboBox* combo, int n) {
    OnCombo(combo, [&](OptionList& l) { FillNumberList(l, n); });
}

void FillTsplCodepages(QComboBox* combo) {
    OnCombo(combo, [](OptionList& l) { FillTsplCodepages(l); });
}

void FillZplCodepages(QComboBox* combo) {
    OnCombo(combo, [](OptionList& l) { FillZplCodepages(l); });
}

void FillEplCodepages(QComboBox* combo) {
    OnCombo(combo, [](OptionList& l) { FillEplCodepages(l); });
}

void FillCodepageList(QComboBox* combo) {
    OnCombo(combo, [](OptionList& l) { FillCodepageList(l); });
}

} // namespace OptionTables
