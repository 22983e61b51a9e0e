#include "halvbuild/manifest.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include <toml++/toml.h>

#include "halvbuild/ansi_text.h"

namespace fs = std::filesystem;

namespace {

// Longest text of every header string and every string after the files.
constexpr size_t kMaxText = 259;

struct Reader {
    std::string file;

    [[noreturn]] void fail(const ManifestSpot& spot, const std::string& what) const {
        throw locatedError(file, spot, what);
    }
};

// How a text value is checked and kept.
enum class TextKind {
    Package,   // goes into the package: Windows-1252, one line, at most 259 bytes
    Free,      // goes into the package and may span lines (the finish text)
    Path,      // a source path on this machine: kept as UTF-8
};

uint32_t lineOf(const toml::node& node) {
    return node.source().begin.line;
}

void checkKeys(const Reader& reader, const toml::table& table, const std::string& prefix,
               std::initializer_list<const char*> allowed) {
    for (auto&& [key, value] : table) {
        // A named copy: clang before 16 cannot capture a structured binding.
        const auto keyText = key.str();
        const bool known = std::any_of(allowed.begin(), allowed.end(),
                                       [&](const char* name) { return keyText == name; });
        if (!known) reader.fail({prefix + std::string(key.str()), key.source().begin.line}, "unknown key");
    }
}

ManifestText convertText(const Reader& reader, const ManifestSpot& spot, const std::string& utf8,
                         TextKind kind) {
    if (kind == TextKind::Path) return {utf8, spot};
    std::string ansi;
    try {
        ansi = toAnsi(utf8);
    } catch (const std::invalid_argument& error) {
        reader.fail(spot, error.what());
    }
    if (ansi.size() > kMaxText)
        reader.fail(spot, "is " + std::to_string(ansi.size()) + " bytes long; the limit is 259");
    const bool controls = std::any_of(ansi.begin(), ansi.end(), [&](char c) {
        return (unsigned char)c < 0x20 && !(kind == TextKind::Free && (c == '\n' || c == '\r' || c == '\t'));
    });
    if (controls) reader.fail(spot, "holds a control character");
    return {ansi, spot};
}

// The text at key; fallback (with no line) when the key is absent.
ManifestText readText(const Reader& reader, const toml::table& table, const std::string& prefix,
                      const char* key, TextKind kind, bool required = false,
                      const std::string& fallback = std::string()) {
    const ManifestSpot absent{prefix + key, 0};
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        if (required) reader.fail(absent, "required key is missing");
        return {fallback, absent};
    }
    const ManifestSpot spot{prefix + key, lineOf(*node)};
    if (!node->is_string()) reader.fail(spot, "must be a text in quotes");
    return convertText(reader, spot, node->as_string()->get(), kind);
}

// The tables of an array of tables at key (none when the key is absent).
std::vector<const toml::table*> readTables(const Reader& reader, const toml::table& table,
                                           const std::string& prefix, const char* key) {
    std::vector<const toml::table*> tables;
    const toml::node* node = table.get(key);
    if (node == nullptr) return tables;
    const ManifestSpot spot{prefix + key, lineOf(*node)};
    if (!node->is_array()) reader.fail(spot, "must be a list of tables ([[" + prefix + key + "]])");
    for (const toml::node& element : *node->as_array()) {
        if (!element.is_table()) reader.fail({spot.field, lineOf(element)}, "every entry must be a table");
        tables.push_back(element.as_table());
    }
    return tables;
}

std::string indexed(const std::string& prefix, const char* key, size_t index) {
    return prefix + key + "[" + std::to_string(index + 1) + "].";
}

void readFiles(const Reader& reader, const toml::table& root, Manifest* manifest) {
    const auto tables = readTables(reader, root, "", "files");
    for (size_t i = 0; i < tables.size(); ++i) {
        const std::string prefix = indexed("", "files", i);
        checkKeys(reader, *tables[i], prefix, {"source", "directory"});
        ManifestFiles files;
        files.source = readText(reader, *tables[i], prefix, "source", TextKind::Path, true);
        files.directory = readText(reader, *tables[i], prefix, "directory", TextKind::Package);
        if (files.source.value.empty()) reader.fail(files.source.spot, "must not be empty");
        manifest->files.push_back(files);
    }
}

void readShortcuts(const Reader& reader, const toml::table& root, Manifest* manifest) {
    const auto tables = readTables(reader, root, "", "shortcuts");
    for (size_t i = 0; i < tables.size(); ++i) {
        const std::string prefix = indexed("", "shortcuts", i);
        checkKeys(reader, *tables[i], prefix, {"name", "target", "location"});
        ManifestShortcut shortcut;
        shortcut.name = readText(reader, *tables[i], prefix, "name", TextKind::Package, true);
        shortcut.target = readText(reader, *tables[i], prefix, "target", TextKind::Package, true);
        shortcut.location = readText(reader, *tables[i], prefix, "location", TextKind::Package, false,
                                     kDesktopToken);
        if (shortcut.location.value != kDesktopToken)
            reader.fail(shortcut.location.spot, std::string("the installer knows only \"") + kDesktopToken + "\"");
        manifest->shortcuts.push_back(shortcut);
    }
}

void readGroup(const Reader& reader, const toml::table& root, Manifest* manifest) {
    const toml::node* node = root.get("group");
    if (node == nullptr) return;
    if (!node->is_table()) reader.fail({"group", lineOf(*node)}, "must be a table ([group])");
    const toml::table& group = *node->as_table();
    checkKeys(reader, group, "group.", {"name", "folders"});
    manifest->groupName = readText(reader, group, "group.", "name", TextKind::Package, true);
    if (manifest->groupName.value.empty()) reader.fail(manifest->groupName.spot, "must not be empty");
    const auto folders = readTables(reader, group, "group.", "folders");
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string prefix = indexed("group.", "folders", i);
        checkKeys(reader, *folders[i], prefix, {"folder", "items"});
        ManifestGroupFolder folder;
        folder.folder = readText(reader, *folders[i], prefix, "folder", TextKind::Package);
        const auto items = readTables(reader, *folders[i], prefix, "items");
        for (size_t k = 0; k < items.size(); ++k) {
            const std::string itemPrefix = indexed(prefix, "items", k);
            checkKeys(reader, *items[k], itemPrefix, {"name", "target"});
            folder.items.push_back({readText(reader, *items[k], itemPrefix, "name", TextKind::Package, true),
                                    readText(reader, *items[k], itemPrefix, "target", TextKind::Package, true)});
        }
        manifest->groupFolders.push_back(folder);
    }
}

void readFinish(const Reader& reader, const toml::table& root, Manifest* manifest) {
    const toml::node* node = root.get("finish");
    if (node == nullptr) return;
    if (!node->is_table()) reader.fail({"finish", lineOf(*node)}, "must be a table ([finish])");
    const toml::table& finish = *node->as_table();
    checkKeys(reader, finish, "finish.", {"website", "program", "help_file", "text"});
    manifest->website = readText(reader, finish, "finish.", "website", TextKind::Package);
    manifest->program = readText(reader, finish, "finish.", "program", TextKind::Package);
    manifest->helpFile = readText(reader, finish, "finish.", "help_file", TextKind::Package);
    manifest->finishText = readText(reader, finish, "finish.", "text", TextKind::Free);
}

void readTop(const Reader& reader, const toml::table& root, Manifest* manifest) {
    checkKeys(reader, root, "",
              {"title", "publisher", "product", "version", "base_folder", "folder_name", "licence",
               "files", "shortcuts", "group", "finish"});
    manifest->title = readText(reader, root, "", "title", TextKind::Package, true);
    manifest->publisher = readText(reader, root, "", "publisher", TextKind::Package, true);
    manifest->product = readText(reader, root, "", "product", TextKind::Package, true);
    manifest->version = readText(reader, root, "", "version", TextKind::Package, true);
    manifest->baseFolder = readText(reader, root, "", "base_folder", TextKind::Package, false, kProgramFilesToken);
    manifest->folderName = readText(reader, root, "", "folder_name", TextKind::Package, false,
                                    manifest->product.value);
    manifest->licence = readText(reader, root, "", "licence", TextKind::Path);
    for (const ManifestText* text : {&manifest->title, &manifest->product, &manifest->baseFolder,
                                     &manifest->folderName})
        if (text->value.empty()) reader.fail(text->spot, "must not be empty");
}

std::string readWholeFile(const std::string& path) {
    std::ifstream input(fs::u8path(path), std::ios::binary);
    if (!input) throw BuildError(path + ": cannot open the manifest");
    std::ostringstream text;
    text << input.rdbuf();
    if (input.bad()) throw BuildError(path + ": cannot read the manifest");
    return text.str();
}

// The next UTF-8 character of text at i: its code point and length, or a
// length of 0 when the bytes there are not valid UTF-8.
struct Utf8Character {
    uint32_t code;
    size_t length;
};

Utf8Character decodeUtf8(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
    const unsigned lead = byte(0);
    const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    uint32_t code = length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (byte(k) & 0x3Fu);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
    return {code, length};
}

// The manifest as the TOML library is given it: ASCII only. The library's
// handling of some characters beyond ASCII is undefined (it cannot say
// whether they are blank space, and asks in many places), so none reaches it.
// They may stand only in quoted strings and comments: in a "string" each
// becomes its \u escape, a 'literal string' becomes the "string" of the same
// text, and in a comment each becomes '?'. Anywhere else, or after a
// backslash (escapes are ASCII), such a character is refused, naming its
// line. Line ends are kept, so the library's line numbers stay right.
std::string asciiForParser(const Reader& reader, const std::string& text) {
    enum class Where { Bare, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    Where where = Where::Bare;
    uint32_t line = 1;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    auto quotesAt = [&](size_t at, char quote) {
        size_t run = 0;
        while (at + run < text.size() && text[at + run] == quote) ++run;
        return run;
    };
    size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark
    while (i < text.size()) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            const Utf8Character character = decodeUtf8(text, i);
            if (character.length == 0) reader.fail({"", line}, "is not valid UTF-8");
            if (where == Where::Bare)
                reader.fail({"", line}, "a character beyond ASCII outside quotes; put the text in quotes");
            if (where == Where::Comment) {
                out += '?';
            } else {
                char escape[16];
                snprintf(escape, sizeof escape, character.code > 0xFFFF ? "\\U%08X" : "\\u%04X",
                         (unsigned)character.code);
                out += escape;
            }
            i += character.length;
            continue;
        }
        ++i;
        if (c == '\n') {
            ++line;
            if (where != Where::MultiBasic && where != Where::MultiLiteral) where = Where::Bare;
            out += c;
            continue;
        }
        switch (where) {
        case Where::Bare:
            if (c == '#') where = Where::Comment;
            if (c == '"' || c == '\'') {
                const bool multi = quotesAt(i - 1, c) >= 3;
                if (multi) i += 2;
                where = c == '"' ? (multi ? Where::MultiBasic : Where::Basic)
                                 : (multi ? Where::MultiLiteral : Where::Literal);
                out += multi ? "\"\"\"" : "\"";
                continue;
            }
            break;
        case Where::Comment:
            break;
        case Where::Basic:
        case Where::MultiBasic:
            if (c == '\\' && i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80)
                reader.fail({"", line}, "a backslash before a character beyond ASCII; escapes are ASCII");
            if (c == '\\' && i < text.size() && text[i] != '\n') {
                out += c;
                out += text[i++];
                continue;
            }
            if (c == '"') {
                const size_t run = quotesAt(i - 1, c);
                if (where == Where::Basic) {
                    where = Where::Bare;
                } else if (run >= 3) {
                    out.append(run - 1, '"');  // a closing delimiter may follow one or two quotes of the text
                    i += run - 1;
                    where = Where::Bare;
                }
            }
            break;
        case Where::Literal:
        case Where::MultiLiteral:
            if (c == '\'') {
                const size_t run = quotesAt(i - 1, c);
                if (where == Where::Literal) {
                    where = Where::Bare;
                    out += '"';
                    continue;
                }
                if (run >= 3) {
                    // Up to two quotes of the text, then the delimiter.
                    out.append(run - 3, '\'');
                    out += "\"\"\"";
                    i += run - 1;
                    where = Where::Bare;
                    continue;
                }
            } else if (c == '\\' || c == '"') {
                out += '\\';  // the same text in a "string"
            }
            break;
        }
        out += c;
    }
    return out;
}

}  // namespace

Manifest loadManifest(const std::string& path) {
    const Reader reader{path};
    const std::string text = readWholeFile(path);
    toml::table root;
    try {
        root = toml::parse(asciiForParser(reader, text), path);
    } catch (const toml::parse_error& error) {
        reader.fail({"", error.source().begin.line}, std::string(error.description()));
    }
    Manifest manifest;
    manifest.path = path;
    manifest.folder = fs::u8path(path).parent_path().u8string();
    readTop(reader, root, &manifest);
    readFiles(reader, root, &manifest);
    readShortcuts(reader, root, &manifest);
    readGroup(reader, root, &manifest);
    readFinish(reader, root, &manifest);
    return manifest;
}
