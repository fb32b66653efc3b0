#pragma once
// The whole form model in one include.

#include "platform/component.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/memo.h"
#include "platform/menus.h"
#include "platform/page_control.h"
#include "platform/timer.h"
#include "platform/tray_icon.h"
