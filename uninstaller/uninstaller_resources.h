// Resource ids of VL2Del.exe.
#pragma once

#define IDS_UNINSTALL_ABOUT 101
#define IDD_UNINSTALL_ABOUT 100
#define IDD_UNINSTALL 102
#define IDI_UNINSTALL 128
