#include "SkinBinding.h"

#include <utility>

#include "DialogTemplate.h"
#include "SkinAdapter.h"

namespace {

constexpr const char* kWindowSkin = "ACC_68_DL";
// The skinning layer's drawing mode for the main window.
constexpr int kWindowMode = 3;

}  // namespace

void ApplySkin(CSkinAdapter& skin, QWidget& window, const std::function<QWidget*(int)>& control) {
    skin.BindWindow(&window, kWindowSkin);
    const std::pair<int, const char*> bound[] = {
        {ctl::kSave, "Button_Save"},  {ctl::kTrafficPane, "Edit_Rec"},
        {ctl::kAddress, "Edit_Addr"}, {ctl::kNewAddress, "Edit_SETAddr"},
        {ctl::kChinese, "Radio_Get"}, {ctl::kEnglish, "Radio_Get"},
    };
    for (const auto& [id, name] : bound) skin.BindControl(control(id), name, kWindowSkin);
    skin.SetWindowMode(&window, kWindowMode);
}
