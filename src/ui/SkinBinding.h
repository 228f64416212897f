#pragma once

#include <functional>

class CSkinAdapter;
class QWidget;

// Gives the main window and its six skinned controls their skin objects, in
// the order the skinning layer has always been called in.
void ApplySkin(CSkinAdapter& skin, QWidget& window, const std::function<QWidget*(int id)>& control);
