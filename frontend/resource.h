// Resource ids shared by the resource script and the Windows window code.
#pragma once

#define IDD_MAIN 101
#define IDI_MAIN 102
#define IDC_INSTRUCTION 1002
#define IDC_STATUS 1003
