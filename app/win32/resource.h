// Resource numbers shared by velloquin.rc and the window's code.
#pragma once

#define IDI_PROGRAM 1
#define IDI_STEPS 101
#define IDI_PROGRESS 102
#define IDC_HELP_LINK 103
#define IDB_INSTRUCTION 104
