#pragma once
// The five icons of the tray and the main window, drawn by the program itself.

#include <QIcon>

#include "warner/app/popup_control.h"

namespace warner::ui {

QIcon StatusIconImage(StatusIcon icon);

}  // namespace warner::ui
