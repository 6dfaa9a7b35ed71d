// Popup menus. Each item gets a command identifier of its own; the command arrives at the owner's
// window, where the menu looks it up and reports the item's position.
#include "front/win32/controls/ControlInternals.h"
#include "front/win32/controls/WideText.h"

namespace quarvo {

namespace {

// A menu command (no control handle, notification code 0 or 1) for one of this menu's items.
bool MenuCommand(MenuObject& menu, ControlMessage& message) {
  if (message.message != WM_COMMAND || message.lParam != 0 || HIWORD(message.wParam) > 1) return false;
  const UINT id = LOWORD(message.wParam);
  for (std::size_t index = 0; index < menu.items.size(); ++index) {
    const MenuItem& item = menu.items[index];
    if (item.commandId != id) continue;
    if (item.separator) return false;
    if (menu.MenuItemEvent) menu.MenuItemEvent(&menu, static_cast<int>(index));
    return true;
  }
  return false;
}

}  // namespace

MenuObject* CreateContextMenu(ControlObject* owner, std::function<void(MenuObject*, int)> handler) {
  auto menu = std::make_unique<MenuObject>();
  menu->handle = CreatePopupMenu();
  menu->owner = owner;
  menu->MenuItemEvent = std::move(handler);
  MenuObject* result = menu.get();
  owner->menus.push_back(std::move(menu));
  owner->attached.push_back([result](ControlMessage& message) { return MenuCommand(*result, message); });
  return result;
}

void AddMenuItem(MenuObject* menu, int position, const std::string& caption, UINT flags) {
  const std::size_t count = menu->items.size();
  const std::size_t at =
      position < 0 || static_cast<std::size_t>(position) > count ? count : static_cast<std::size_t>(position);
  MenuItem item{caption, Layer().nextMenuId++, (flags & kMenuSeparator) != 0};
  std::wstring wide = WideFromCp936(caption);
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
  info.wID = item.commandId;
  if (item.separator) {
    info.fMask &= ~static_cast<UINT>(MIIM_STRING);
    info.fType = MFT_SEPARATOR;
    info.fState = MFS_DISABLED | MFS_GRAYED;
  } else {
    info.fType = MFT_STRING;
    info.dwTypeData = wide.data();
  }
  InsertMenuItemW(menu->handle, static_cast<UINT>(at), TRUE, &info);
  menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
}

void ShowContextMenu(MenuObject* menu, int x, int y) {
  // Lets the click that asked for the menu finish first.
  MSG pending;
  if (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
    if (pending.message == WM_QUIT) {
      Layer().loopTerminated = true;
    } else {
      TranslateMessage(&pending);
      DispatchMessageW(&pending);
    }
  }
  HWND owner = menu->owner->handle;
  if (owner != nullptr) TrackPopupMenu(menu->handle, 0, x, y, 0, owner, nullptr);
}

}  // namespace quarvo
