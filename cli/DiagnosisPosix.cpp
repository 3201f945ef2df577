// The diagnosis's platform part on POSIX systems: the program and the system it runs on.
#include "cli/Diagnosis.h"

#include "desktop/Version.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace z83::cli {

DiagnosisSection programSection() {
    DiagnosisSection section{"Program", {}, {}};
    section.lines.emplace_back("version", std::string(kProgramName) + " " + kVersion);
    section.lines.emplace_back("platform", "Linux, " + std::to_string(sizeof(void*) * 8) + "-bit program");
    if (utsname system{}; ::uname(&system) == 0)
        section.lines.emplace_back("system",
                                   std::string(system.sysname) + " " + system.release + " " + system.machine);
    // The user's locale as the environment names it; the program itself reads and writes in the C locale.
    std::string name = "C";
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    if (locale_t locale = ::newlocale(LC_ALL_MASK, "", nullptr)) {
        section.lines.emplace_back("locale", name + "; decimal separator \"" +
                                                 ::nl_langinfo_l(RADIXCHAR, locale) + "\", code set " +
                                                 ::nl_langinfo_l(CODESET, locale));
        ::freelocale(locale);
    } else {
        section.lines.emplace_back("locale", name + " (not installed on this system)");
    }
    section.lines.emplace_back("elevated", ::geteuid() == 0 ? "yes (root)" : "no");
    return section;
}

} // namespace z83::cli
