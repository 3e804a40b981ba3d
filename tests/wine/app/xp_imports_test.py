#!/usr/bin/env python3
"""The program must load on Windows XP SP3: its import table may name no
function that XP's system DLLs lack (a missing one stops the loader before
any code runs, so no run-time fallback can help), and its headers may ask
for no later system. Wine exports every function whatever version it plays,
so this is read from the file, not observed under Wine.

    xp_imports_test.py --objdump i686-w64-mingw32-objdump --Tindrel2 Tindrel2.exe

The list names functions that came with Vista or later and that compilers,
runtimes and libraries are known to pull in; it is not the whole of them."""

import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None

AFTER_XP = {
    "kernel32.dll": """
        GetTickCount64 QueryUnbiasedInterruptTime GetSystemTimePreciseAsFileTime
        InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
        ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
        InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
        WakeConditionVariable WakeAllConditionVariable
        InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
        FlsAlloc FlsFree FlsGetValue FlsSetValue
        InitializeCriticalSectionEx CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW
        CreateSemaphoreExA CreateSemaphoreExW CreateWaitableTimerExW
        GetFileInformationByHandleEx SetFileInformationByHandle GetFinalPathNameByHandleA
        GetFinalPathNameByHandleW CreateSymbolicLinkA CreateSymbolicLinkW CopyFile2 CreateFile2
        CompareStringEx LCMapStringEx GetLocaleInfoEx GetUserDefaultLocaleName
        GetSystemDefaultLocaleName LocaleNameToLCID LCIDToLocaleName ResolveLocaleName
        GetDynamicTimeZoneInformation GetTimeZoneInformationForYear
        GetCurrentProcessorNumber GetCurrentProcessorNumberEx GetThreadId GetProcessIdOfThread
        QueryFullProcessImageNameA QueryFullProcessImageNameW GetErrorMode SetThreadErrorMode
        GetThreadErrorMode RaiseFailFastException CancelIoEx GetQueuedCompletionStatusEx
        SetFileCompletionNotificationModes GetOverlappedResultEx GetNamedPipeClientProcessId
        CreateThreadpoolWork SubmitThreadpoolWork CloseThreadpoolWork
        WaitForThreadpoolWorkCallbacks CreateThreadpoolTimer SetThreadpoolTimer
        GetLogicalProcessorInformationEx GetThreadGroupAffinity SetDefaultDllDirectories
        AddDllDirectory RemoveDllDirectory K32GetProcessMemoryInfo K32EnumProcesses
        """,
    "advapi32.dll": """
        RegDeleteTreeA RegDeleteTreeW RegGetValueA RegGetValueW RegSetKeyValueW
        RegDeleteKeyValueW RegCopyTreeW RegLoadMUIStringW RegDeleteKeyExA RegDeleteKeyExW
        EventRegister EventUnregister EventWrite
        """,
    "shell32.dll": "SHGetKnownFolderPath SHCreateItemFromParsingName SHGetStockIconInfo",
    "user32.dll": """
        ChangeWindowMessageFilter ChangeWindowMessageFilterEx SetProcessDPIAware
        IsProcessDPIAware GetDpiForWindow SetProcessDpiAwarenessContext
        AddClipboardFormatListener RegisterPowerSettingNotification ShutdownBlockReasonCreate
        CalculatePopupWindowPosition
        """,
    "ole32.dll": "CoGetApartmentType",
    "msvcrt.dll": """
        _fseeki64 _ftelli64 _create_locale _free_locale _get_current_locale _get_errno
        _set_errno memcpy_s memmove_s strcpy_s strcat_s strncpy_s wcscpy_s wcscat_s
        sprintf_s swprintf_s _snprintf_s _vsnprintf_s _vsnwprintf_s fopen_s _wfopen_s
        strerror_s _wcserror_s _gmtime64_s _localtime64_s qsort_s _itoa_s rand_s
        """,
}
AFTER_XP = {dll: set(names.split()) for dll, names in AFTER_XP.items()}
XP_VERSION = (5, 1)


def read(exe):
    out = subprocess.run([ARGS.objdump, "-p", exe], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, check=True).stdout.decode("utf-8", "replace")
    imports, dll = {}, None
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            imports.setdefault(dll, set())
            continue
        m = re.match(r"\t[0-9a-f]+\t +\d+ +(\S+)", line)
        if dll and m:
            imports[dll].add(m.group(1))
        elif not line.strip():
            dll = None
    headers = {}
    for key in ("MajorOSystemVersion", "MinorOSystemVersion", "MajorSubsystemVersion",
                "MinorSubsystemVersion"):
        m = re.search(r"^%s\s+(\d+)" % key, out, re.M)
        headers[key] = int(m.group(1)) if m else None
    return imports, headers


class LoadsOnWindowsXp(unittest.TestCase):
    def test_no_import_that_xp_lacks(self):
        for exe in (ARGS.Tindrel2,):
            imports, _ = read(exe)
            self.assertIn("kernel32.dll", imports, "no import table read from " + exe)
            for dll, names in imports.items():
                with self.subTest(exe=exe, dll=dll):
                    self.assertEqual(sorted(names & AFTER_XP.get(dll, set())), [])

    def test_headers_ask_for_no_later_system(self):
        for exe in (ARGS.Tindrel2,):
            _, headers = read(exe)
            with self.subTest(exe=exe):
                self.assertLessEqual((headers["MajorOSystemVersion"],
                                      headers["MinorOSystemVersion"]), XP_VERSION)
                self.assertLessEqual((headers["MajorSubsystemVersion"],
                                      headers["MinorSubsystemVersion"]), XP_VERSION)


if __name__ == "__main__":
    sys.exit(h.run_tests())
