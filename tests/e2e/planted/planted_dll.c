/* A look-alike of a system DLL, as a download folder may hold one (copied under the system DLL's name).
   Loaded into any process, it leaves "<its own path>.mark" beside itself; every export answers failure. */
#include <windows.h>

__declspec(dllexport) INT_PTR Stub(void) { return 0; }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t mark[MAX_PATH + 8] = {0};
        DWORD length = GetModuleFileNameW(module, mark, MAX_PATH);
        lstrcatW(mark + length, L".mark");
        HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}
