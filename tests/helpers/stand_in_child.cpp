// Stands in for the redistributable installer and for any program a custom
// action runs. Steered through its environment, since its command line is
// often fixed by the program under test:
//   STAND_IN_RECORD     file to which each start appends its command line (UTF-8)
//   STAND_IN_HOLD       while this file exists, keep running (a minute at most)
//   STAND_IN_EXIT_CODE  exit code, decimal or 0x-hex
// A first argument that is a number overrides STAND_IN_EXIT_CODE.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

bool ParseCode(const std::wstring& text, DWORD& code)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    code = static_cast<DWORD>(std::wcstoul(text.c_str(), &end, 0));
    return *end == L'\0';
}

void Record(const std::wstring& path)
{
    const std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                          size, nullptr, nullptr);
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    const std::wstring record = Variable(L"STAND_IN_RECORD");
    if (!record.empty())
        Record(record);

    const std::wstring hold = Variable(L"STAND_IN_HOLD");
    for (int waited = 0; !hold.empty() && waited < 60000 &&
                         ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES;
         waited += 20)
        ::Sleep(20);

    DWORD code = 0;
    if (!(argc > 1 && ParseCode(argv[1], code)))
        ParseCode(Variable(L"STAND_IN_EXIT_CODE"), code);
    // ExitProcess, not a return: the C runtime must not narrow codes such as 0xC0000005.
    ::ExitProcess(code);
}
