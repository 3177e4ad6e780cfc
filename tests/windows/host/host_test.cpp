// A Windows host of tokenweave.dll, built as hosts are: the same compiler,
// linked against the import library, with a string table of its own
// (host_strings.rc) that words one report message.
//
//   tokenweave_host_test PROJECT REPORT
//
// Builds the index of PROJECT, writes the search report to REPORT and checks
// that it uses the host's text for that message, with its placeholders
// filled, and the library's built-in texts for the others. Then makes
// BuildIndex fail and catches the exception it throws across the DLL
// boundary. Prints each failed check; exits 1 if there was one.

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "tokenweave/ccorrelationanalyser.h"

namespace {

// The wording of host_strings.rc, and texts the library builds in for the
// messages the host leaves to it.
const char HOST_PAIR_INPUT_PREFIX[] = "Sent from ";
const char HOST_PAIR_INPUT_LINE[] = " at line ";
const char BUILTIN_PAIR_INPUT_MARK[] = "): value \"";
const char BUILTIN_RETURNED_AT[] = " was returned at ";
const char BUILTIN_GRID_COLUMN[] = ", grid column ";

const int MAX_PAIRS = 5;

int failures = 0;

void check(bool ok, const char *what, const std::string &detail = std::string()) {
    if (!ok) {
        ++failures;
        fprintf(stderr, "FAILED: %s\n", what);
        if (!detail.empty()) {
            fprintf(stderr, "%s\n", detail.c_str());
        }
    }
}

int keep_going(void *, float) {
    return 0;
}

std::string read_file(const char *path) {
    std::string text;
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        return text;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    fclose(file);
    return text;
}

std::string first_line(const std::string &text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

void report_uses_the_host_strings(const char *project, const char *report) {
    int host_marker = 0;
    CCorrelationAnalyser analyser(project, "", keep_going, &host_marker);
    check(analyser.BuildIndex() == TOKENWEAVE_OK, "BuildIndex of the example project");
    remove(report);
    check(analyser.FindCorrelations(report, 0.0f, MAX_PAIRS) == TOKENWEAVE_OK,
          "FindCorrelations writes a report");
    std::string text = read_file(report);
    std::string line = first_line(text);
    check(line.rfind(HOST_PAIR_INPUT_PREFIX, 0) == 0, "a pair starts with the host's text", text);
    check(line.find(HOST_PAIR_INPUT_LINE) != std::string::npos,
          "the host's text has its placeholders filled", line);
    check(line.find('%') == std::string::npos, "no placeholder is left in the report", line);
    check(text.find(BUILTIN_PAIR_INPUT_MARK) == std::string::npos,
          "the built-in text of the message the host words is not used", text);
    check(line.find(BUILTIN_RETURNED_AT) != std::string::npos &&
              line.find(BUILTIN_GRID_COLUMN) != std::string::npos,
          "the messages the host leaves out have their built-in texts", line);
}

// The address of function name in the import table of module, replaced by
// replacement; returns the address it held, or 0 when module does not import
// name.
ULONG_PTR replace_import(HMODULE module, const char *name, ULONG_PTR replacement) {
    BYTE *base = reinterpret_cast<BYTE *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return 0;
    }
    for (const IMAGE_IMPORT_DESCRIPTOR *dll =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
        if (dll->OriginalFirstThunk == 0) {
            continue;  // bound without names
        }
        const IMAGE_THUNK_DATA *names =
            reinterpret_cast<const IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const IMAGE_IMPORT_BY_NAME *by_name =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(by_name->Name), name) != 0) {
                continue;
            }
            DWORD protection;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                                &protection)) {
                return 0;
            }
            ULONG_PTR previous = slots->u1.Function;
            slots->u1.Function = replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return 0;
}

void *__cdecl failing_calloc(size_t, size_t) {
    return nullptr;
}

// The library allocates its index record with calloc; with every calloc of
// the DLL failing, BuildIndex has no index and throws.
void exception_crosses_the_dll_boundary(const char *project) {
    HMODULE library = GetModuleHandleA("tokenweave.dll");
    check(library != nullptr, "tokenweave.dll is loaded");
    if (library == nullptr) {
        return;
    }
    ULONG_PTR real_calloc =
        replace_import(library, "calloc", reinterpret_cast<ULONG_PTR>(&failing_calloc));
    check(real_calloc != 0, "tokenweave.dll imports calloc");
    if (real_calloc == 0) {
        return;
    }
    bool caught = false;
    {
        CCorrelationAnalyser analyser(project, "", keep_going, nullptr);
        try {
            analyser.BuildIndex();
        } catch (const CCorrelationAnalyser::CorrelationScanException &) {
            caught = true;
        } catch (...) {
            check(false, "BuildIndex threw something else than CorrelationScanException");
        }
    }
    replace_import(library, "calloc", real_calloc);
    check(caught, "CorrelationScanException caught in the host");

    CCorrelationAnalyser again(project, "", keep_going, nullptr);
    check(again.BuildIndex() == TOKENWEAVE_OK, "BuildIndex works again once memory is back");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PROJECT REPORT\n", argv[0]);
        return 2;
    }
    report_uses_the_host_strings(argv[1], argv[2]);
    exception_crosses_the_dll_boundary(argv[1]);
    if (failures == 0) {
        printf("host: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
