#pragma once

#include <QStringView>

#include <cstddef>
#include <optional>
#include <string_view>

struct pcre2_real_code_8;

namespace ondrel::analysis {

// A pattern compiled once per process with UTF, Unicode properties and the
// "any" newline convention (so `.` and `$` know every Unicode line break),
// JIT-compiled where the platform allows. Instances live in a process-wide
// cache until the process exits, so callers may keep the pointer; nothing
// may match after main() returned.
class Regex final
{
public:
    struct Match
    {
        std::size_t start = 0; // byte offsets into the UTF-8 subject
        std::size_t end = 0;
    };

    // The cached compiled form of `pattern`, or nullptr when it does not compile.
    static const Regex* cached(std::string_view pattern);

    // `subject` must be valid UTF-8 (it is not checked again, for speed).
    // A search that fails with an engine error (limits) counts as no match.
    bool search(std::string_view subject) const;
    std::optional<Match> find(std::string_view subject, std::size_t from) const;

    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;
    ~Regex();

private:
    explicit Regex(pcre2_real_code_8* code) : m_code(code) {}
    pcre2_real_code_8* m_code;
};

// True when `pattern` compiles and matches somewhere in `text`.
bool matchesPattern(QStringView text, QStringView pattern);

} // namespace ondrel::analysis
