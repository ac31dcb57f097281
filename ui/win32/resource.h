// Resource identifiers shared by tollora.rc and the backend.
#pragma once

#define IDI_CLOCK 1  // the first icon resource: Explorer shows it as the program's icon
#define IDR_HAND_CURSOR 101
#define IDR_MAIN_BACKDROP 201
#define IDR_DIALOG_BACKDROP 202
