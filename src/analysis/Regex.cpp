#include "Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace ondrel::analysis {

namespace {

// Per-thread match resources: detection may run off the GUI thread, and
// PCRE2 match data and JIT stacks must not be shared between threads.
struct MatchResources
{
    MatchResources()
    {
        context = pcre2_match_context_create(nullptr);
        // The default 32 KiB JIT stack is too small for long runs through
        // patterns with nested repeats; 1 MiB keeps them from failing.
        jitStack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
        if (context && jitStack)
            pcre2_jit_stack_assign(context, nullptr, jitStack);
        data = pcre2_match_data_create(1, nullptr);
    }
    ~MatchResources()
    {
        pcre2_match_data_free(data);
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
    }
    MatchResources(const MatchResources&) = delete;
    MatchResources& operator=(const MatchResources&) = delete;

    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    pcre2_match_data* data = nullptr;
};

MatchResources& resources()
{
    thread_local MatchResources r;
    return r;
}

int matchAt(pcre2_code* code, std::string_view subject, std::size_t from)
{
    auto& r = resources();
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), from,
                       PCRE2_NO_UTF_CHECK, r.data, r.context);
}

} // namespace

const Regex* Regex::cached(std::string_view pattern)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, std::unique_ptr<Regex>> cache;

    std::lock_guard lock(mutex);
    std::string key(pattern);
    if (auto it = cache.find(key); it != cache.end())
        return it->second.get();

    pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(compileContext, PCRE2_NEWLINE_ANY);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     PCRE2_UTF | PCRE2_UCP, &errorCode, &errorOffset, compileContext);
    pcre2_compile_context_free(compileContext);

    std::unique_ptr<Regex> entry;
    if (code) {
        // Without JIT the interpreter runs the same pattern, only slower.
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        entry.reset(new Regex(code));
    }
    const Regex* result = entry.get();
    cache.emplace(std::move(key), std::move(entry));
    return result;
}

Regex::~Regex()
{
    pcre2_code_free(m_code);
}

bool Regex::search(std::string_view subject) const
{
    return matchAt(m_code, subject, 0) >= 0;
}

std::optional<Regex::Match> Regex::find(std::string_view subject, std::size_t from) const
{
    if (from > subject.size())
        return std::nullopt;
    if (matchAt(m_code, subject, from) < 0)
        return std::nullopt;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(resources().data);
    return Match{ovector[0], ovector[1]};
}

bool matchesPattern(QStringView text, QStringView pattern)
{
    const QByteArray patternUtf8 = pattern.toUtf8();
    const Regex* regex = Regex::cached(std::string_view(patternUtf8.constData(), patternUtf8.size()));
    if (!regex)
        return false;
    // QString's UTF-8 encoder replaces lone surrogates, so the bytes are valid UTF-8.
    const QByteArray subject = text.toUtf8();
    return regex->search(std::string_view(subject.constData(), subject.size()));
}

} // namespace ondrel::analysis
