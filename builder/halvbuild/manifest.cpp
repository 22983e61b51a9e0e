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

// Only quoted strings and comments may hold characters beyond ASCII; bare
// keys and values never can. Such a character elsewhere is refused here,
// naming its line, before the TOML library sees it: the library's handling of
// some of them is undefined. The library reads a bare word (a number, a date,
// a key) up to a blank, a line end or one of , ] } # =, taking quotes, dots
// and brackets inside it as part of the word (1."x", +["x"]); so a quote opens
// a string only outside a word, and whatever a word holds must be ASCII. Over
// a backslash in a quoted string the library looks at the next character
// that is not blank space (past the line end a backslash joins) as possible
// blank space, so that character must be ASCII too.
void refuseNonAsciiOutsideQuotes(const Reader& reader, const std::string& text) {
    enum class Where { Bare, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    Where where = Where::Bare;
    bool inWord = false;
    uint32_t line = 1;
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark
    auto quotesAt = [&](size_t at, char quote) {
        size_t run = 0;
        while (at + run < text.size() && text[at + run] == quote) ++run;
        return run;
    };
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            inWord = false;
            if (where != Where::MultiBasic && where != Where::MultiLiteral) where = Where::Bare;
            continue;
        }
        switch (where) {
        case Where::Bare:
            if (static_cast<unsigned char>(c) >= 0x80)
                reader.fail({"", line}, "a character beyond ASCII outside quotes; put the text in quotes");
            if (c == '#') where = Where::Comment;
            if ((c == '"' || c == '\'') && !inWord) {
                const bool multi = quotesAt(i, c) >= 3;
                if (multi) i += 2;
                where = c == '"' ? (multi ? Where::MultiBasic : Where::Basic)
                                 : (multi ? Where::MultiLiteral : Where::Literal);
            } else if (c != '\0' && strchr(" \t\r,]}#=", c)) {
                inWord = false;
            } else if (!inWord) {
                inWord = c == '\0' || !strchr("[{.", c);
            }
            break;
        case Where::Comment:
            break;
        case Where::Basic:
        case Where::MultiBasic:
            if (c == '\\') {
                size_t next = i + 1;
                while (next < text.size() && strchr(" \t\r\n", text[next]) && text[next] != '\0') ++next;
                if (next < text.size() && static_cast<unsigned char>(text[next]) >= 0x80)
                    reader.fail({"", line}, "a character beyond ASCII right after a backslash (or the line end it joins)");
                if (i + 1 < text.size() && text[i + 1] != '\n') ++i;
            } else if (c == '"') {
                const size_t run = quotesAt(i, c);
                if (where == Where::Basic) {
                    where = Where::Bare;
                } else if (run >= 3) {
                    i += run - 1;  // a closing delimiter may follow one or two quotes of the text
                    where = Where::Bare;
                }
            }
            break;
        case Where::Literal:
        case Where::MultiLiteral:
            if (c == '\'') {
                const size_t run = quotesAt(i, c);
                if (where == Where::Literal) {
                    where = Where::Bare;
                } else if (run >= 3) {
                    i += run - 1;
                    where = Where::Bare;
                }
            }
            break;
        }
    }
}

}  // namespace

Manifest loadManifest(const std::string& path) {
    const Reader reader{path};
    const std::string text = readWholeFile(path);
    refuseNonAsciiOutsideQuotes(reader, text);
    toml::table root;
    try {
        root = toml::parse(text, path);
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
