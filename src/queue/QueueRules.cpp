// The queue's pure rules.
#include "queue/QueueRules.h"

#include <algorithm>

bool sameSite(const SiteLogin& a, const SiteLogin& b)
{
    return a.name == b.name && a.host == b.host && a.port == b.port && a.user == b.user;
}

namespace {

ExistsAction resumeAction(const FileFacts& source, const FileFacts& target)
{
    if (source.size < 0 || target.size < source.size)
        return ExistsAction::Resume;
    // A target as large as the source is complete; a larger one cannot be a part of it.
    return target.size == source.size ? ExistsAction::Skip : ExistsAction::Overwrite;
}

} // namespace

ExistsAction decideExists(ExistsRule rule, const FileFacts& source, const FileFacts& target)
{
    switch (rule) {
    case ExistsRule::Ask: return ExistsAction::Ask;
    case ExistsRule::Overwrite: return ExistsAction::Overwrite;
    case ExistsRule::Skip: return ExistsAction::Skip;
    case ExistsRule::Rename: return ExistsAction::Rename;
    case ExistsRule::Resume: return resumeAction(source, target);
    case ExistsRule::OverwriteIfNewer:
        return source.modified && target.modified && *source.modified > *target.modified
                 ? ExistsAction::Overwrite
                 : ExistsAction::Skip;
    case ExistsRule::OverwriteIfSizeDiffers:
        return source.size >= 0 && target.size >= 0 && source.size != target.size
                 ? ExistsAction::Overwrite
                 : ExistsAction::Skip;
    }
    return ExistsAction::Skip;
}

std::string unsafeNameReason(std::string_view name)
{
    if (name.empty())
        return "The server gave an entry without a name.";
    const std::string quoted = "\"" + std::string(name) + "\"";
    if (name == "." || name == "..")
        return "The name " + quoted + " would leave the target folder.";
    if (name.find('/') != std::string_view::npos)
        return "The name " + quoted + " holds a \"/\" and would leave the target folder.";
    const bool control = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (control)
        return "The name " + quoted + " holds a control character.";
    return std::string();
}

std::string renamedPath(std::string_view path, int n)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    // The extension starts at the last dot that is not the name's first character.
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        dot = path.size();
    return std::string(path.substr(0, dot)) + " (" + std::to_string(n) + ")"
         + std::string(path.substr(dot));
}

std::chrono::milliseconds retryPause(int retry, std::chrono::milliseconds base)
{
    return base * (1 << std::clamp(retry - 1, 0, 10));
}
