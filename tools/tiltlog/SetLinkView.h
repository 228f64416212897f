#pragma once

#include <map>
#include <string>
#include <vector>

#include "ConsoleLinkView.h"

// The device link's view for tiltlog set: the settings commands' lists hold
// what the command line chose, as the window's hold what the operator picked,
// and every box is kept for the command to judge rather than said at once: a
// box is the machinery's only word on how a command ended.
class SetLinkView : public ConsoleLinkView {
public:
    struct Box {
        std::string text;
        BoxIcon icon;
    };

    using ConsoleLinkView::ConsoleLinkView;

    int ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) override;
    void Choose(LinkChoice choice, int position) override { lists_[choice].chosen = position; }
    int Chosen(LinkChoice choice) const override;
    std::string ChoiceText(LinkChoice choice) const override;
    // Chooses the entry that reads `text`, or, where none does, leaves the
    // list without a choice and `text` typed in it.
    void ChooseText(LinkChoice choice, const std::string& text);

    void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
    std::vector<Box> TakeBoxes();

private:
    struct List {
        std::vector<std::string> entries;
        int chosen = -1;
        std::string typed;
    };
    std::map<LinkChoice, List> lists_;
    std::vector<Box> boxes_;
};
