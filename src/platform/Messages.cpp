#include "platform/Messages.h"

RegisteredMessages g_messages;

void RegisterProgramMessages() {
    g_messages.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    g_messages.loftmoorToggle = RegisterWindowMessageW(L"WM_LOFTMOOR_TOGGLE");
    g_messages.tessawellToggle = RegisterWindowMessageW(L"WM_TESSAWELL_TOGGLE");
    g_messages.notchlingToggle = RegisterWindowMessageW(L"WM_NOTCHLING_TOGGLE");
}
