// icon_resources.h - numbers of the program's own resources (icons, manifest),
// shared by the resource script and the window code.
#pragma once

#define IDI_MAINICON 1  // the program's main icon: 128, 48, 32, 24 and 16 pixels
#define IDI_DOCPAGE 2   // the document page of the list view's image list
