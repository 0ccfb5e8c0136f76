#include "platform/wayland/SwayConfigReader.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tavrin {
namespace {

struct Line {
    std::string text;
    bool ended = false; // by a line feed
};

std::vector<Line> linesOf(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back({std::string(text.substr(0, end)), end != std::string_view::npos});
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

std::string stripped(const std::string& text) {
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), space);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), space).base();
    return first < last ? std::string(first, last) : std::string();
}

// sway's word splitting: quotes group words and stay in them.
std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (!quote && std::isspace(static_cast<unsigned char>(c))) {
            if (inWord)
                words.push_back(std::exchange(word, {}));
            inWord = false;
            continue;
        }
        inWord = true;
        word += c;
        if (c == '\\' && at + 1 < text.size())
            word += text[++at];
        else if (quote ? c == quote : c == '"' || c == '\'')
            quote = quote ? 0 : c;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string text;
    for (std::size_t index = from; index < words.size(); ++index)
        text += (index > from ? " " : "") + words[index];
    return text;
}

std::string unquoted(const std::string& word) {
    const bool quoted = word.size() >= 2 && (word.front() == '"' || word.front() == '\'') &&
                        word.back() == word.front();
    return quoted ? word.substr(1, word.size() - 2) : word;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::optional<std::vector<SwayConfigReader::Command>>
SwayConfigReader::read(std::string_view mainText, const std::string& mainPath) {
    variables_.clear();
    included_ = {mainPath};
    commands_.clear();
    if (!readFile(mainText, mainPath))
        return std::nullopt;
    return std::move(commands_);
}

bool SwayConfigReader::readFile(std::string_view text, const std::string& path) {
    const std::vector<Line> lines = linesOf(text);
    std::vector<std::string> blocks; // innermost first
    for (std::size_t index = 0; index < lines.size();) {
        std::string line = lines[index].text;
        bool ended = lines[index++].ended;
        while (ended && line.ends_with('\\') && !line.starts_with('#') && index < lines.size()) {
            line.pop_back();
            line += lines[index].text;
            ended = lines[index++].ended;
        }
        line = stripped(line);
        if (line.empty() || line.starts_with('#'))
            continue;
        // A block may open on the next line that holds anything.
        if (!line.ends_with('{') && !line.ends_with('}')) {
            std::size_t next = index;
            while (next < lines.size() && stripped(lines[next].text).empty())
                ++next;
            if (next < lines.size() && stripped(lines[next].text) == "{") {
                line += " {";
                index = next + 1;
            }
        }
        const std::vector<std::string> words =
            wordsOf(blocks.empty() ? line : blocks.front() + " " + line);
        if (words.size() > 1 && words.back() == "{") {
            blocks.insert(blocks.begin(), joined({words.begin(), words.end() - 1}, 0));
            continue;
        }
        if (words.back() == "}") {
            if (!blocks.empty())
                blocks.erase(blocks.begin());
            continue;
        }
        if (!runLine(joined(words, 0), folderOf(path)))
            return false;
    }
    return true;
}

bool SwayConfigReader::runLine(const std::string& line, const std::string& folder) {
    std::vector<std::string> words = wordsOf(line);
    // The name that set defines is not replaced by a shorter one's value.
    if (words.size() > 2 && words[0] == "set" && words[1].starts_with('$')) {
        const std::string name = words[1];
        const std::string value = replaceVariables(joined(words, 2));
        const auto known =
            std::find_if(variables_.begin(), variables_.end(),
                         [&name](const auto& variable) { return variable.first == name; });
        if (known != variables_.end())
            known->second = value;
        else
            variables_.emplace_back(name, value);
        std::stable_sort(variables_.begin(), variables_.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
        return true;
    }
    words = wordsOf(replaceVariables(line));
    if (words.size() == 2 && words[0] == "include")
        return include(unquoted(words[1]), folder);
    commands_.push_back(std::move(words));
    return true;
}

bool SwayConfigReader::include(const std::string& pattern, const std::string& folder) {
    if (folder.empty() && !pattern.starts_with('/') && !pattern.starts_with('~'))
        return false;
    const auto paths = files_.match(folder, pattern);
    if (!paths)
        return false;
    for (const std::string& path : *paths) {
        if (!included_.insert(path).second)
            continue;
        const auto text = files_.read(path);
        if (!text || !readFile(*text, path))
            return false;
    }
    return true;
}

std::string SwayConfigReader::replaceVariables(std::string text) const {
    for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at)) {
        const bool escaped = at > 0 && text[at - 1] == '\\' && (at < 2 || text[at - 2] != '\\');
        if (escaped) {
            ++at;
            continue;
        }
        if (text.compare(at, 2, "$$") == 0) {
            text.erase(at, 1);
            ++at;
            continue;
        }
        const auto found =
            std::find_if(variables_.begin(), variables_.end(), [&text, at](const auto& variable) {
                return text.compare(at, variable.first.size(), variable.first) == 0;
            });
        if (found == variables_.end()) {
            ++at;
            continue;
        }
        text.replace(at, found->first.size(), found->second);
        at += found->second.size();
    }
    return text;
}

} // namespace tavrin
