#include "SetLinkView.h"

#include <algorithm>

int SetLinkView::ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) {
    lists_[choice] = List{entries, -1, ""};
    return 0;
}

int SetLinkView::Chosen(LinkChoice choice) const {
    const auto it = lists_.find(choice);
    return it == lists_.end() ? -1 : it->second.chosen;
}

std::string SetLinkView::ChoiceText(LinkChoice choice) const {
    const auto it = lists_.find(choice);
    if (it == lists_.end()) return "";
    const List& list = it->second;
    if (list.chosen >= 0 && list.chosen < static_cast<int>(list.entries.size()))
        return list.entries[static_cast<size_t>(list.chosen)];
    return list.typed;
}

void SetLinkView::ChooseText(LinkChoice choice, const std::string& text) {
    List& list = lists_[choice];
    const auto at = std::find(list.entries.begin(), list.entries.end(), text);
    list.chosen = at == list.entries.end() ? -1 : static_cast<int>(at - list.entries.begin());
    list.typed = text;
}

void SetLinkView::ShowBox(const std::string& text, const std::string&, BoxIcon icon) {
    boxes_.push_back({text, icon});
}

std::vector<SetLinkView::Box> SetLinkView::TakeBoxes() {
    std::vector<Box> taken;
    taken.swap(boxes_);
    return taken;
}
