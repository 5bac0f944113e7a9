// Resource ids shared by the resource scripts and the code.
#pragma once

#define IDS_ABOUT_COMMAND 101
#define IDS_PARTNER_CODE 102

#define IDI_PROGRAM 128
#define IDC_HAND_POINTER 150
#define IDR_UNINSTALLER 151
#define IDR_STABLE_LAUNCHER 152

#define IDD_ABOUT 100
#define IDD_SETUP 102
#define IDD_TERMS 149
#define IDD_UNINSTALL 102

#define IDC_TERMS_EDIT 2001
