// The per-user registry of the program: a key tree with typed values, kept in the user's
// settings store (QSettings "Kalmor"/"Tarn") whose root is the program key.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QSettings;

// A value of the wrong type, or one too long for the record it is read into.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One key is open at a time, as with the system registry. The program key
// `Software\Kalmor\Tarn` is the root of the store; below it each subkey is one level whose name
// is everything after the program key and its separator, so a site name may hold any character
// (a `\` included). Key names compare without regard to case: opening an existing key under
// another spelling opens the stored one. Strings are stored as UTF-8 text (one that is not valid
// UTF-8 keeps its bytes in a form of its own), integers as numbers,
// binary values as byte arrays (so they can be told apart from strings).
class Registry {
public:
    static constexpr const char* kProgramKey = "Software\\Kalmor\\Tarn";

    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // `Software\Kalmor\Tarn\` + name.
    static std::string siteKeyPath(const std::string& siteName);

    // Opens the key at `path` (the program key or one of its subkeys; a leading `\` is
    // allowed). Without `canCreate` a missing key does not open. Answers whether it opened.
    [[nodiscard]] bool openKey(const std::string& path, bool canCreate);
    // Writes everything to disk, so that another instance or run sees it.
    void closeKey();
    bool hasCurrentKey() const { return m_open; }

    // Names of the open key's subkeys, ordered without regard to case (then by exact
    // spelling), which is the order the site list takes.
    std::vector<std::string> keyNames() const;
    bool valueExists(const std::string& name) const;

    // A missing value reads as the empty string; an integer reads as its decimal text.
    // A binary value raises ERegistryException.
    std::string readString(const std::string& name) const;
    // A missing value or one that is not a 32-bit number raises ERegistryException.
    std::int32_t readInteger(const std::string& name) const;
    // Copies a binary value into `buffer` and answers its length (0 when missing). A value
    // that is not binary or is longer than `size` raises "Invalid data type for '<name>'";
    // a shorter one fills only its own length.
    int readBinaryData(const std::string& name, void* buffer, int size) const;

    void writeString(const std::string& name, const std::string& value);
    void writeInteger(const std::string& name, std::int32_t value);
    void writeBinaryData(const std::string& name, const void* buffer, int size);

    // Deletes the key at `path` with all its values; answers whether it existed. The program
    // key itself cannot be deleted this way.
    bool deleteKey(const std::string& path);
    bool keyExists(const std::string& path) const;

    // Removes every key and value of the store (for tests and a reset of the program).
    void clearAll();

    // true when the settings file could not be read as settings (damaged, cut short, or not a
    // settings file at all); what could be read of it is still offered. Reliable on the first
    // registry of a run, and whenever the file changed since the last one read it.
    bool storeUnreadable() const;
    // The settings file's path.
    QString storeFileName() const;

    // Key-name escaping: `/`, `\` and `%` become %2F, %5C and %25, and each byte that is not
    // part of a valid UTF-8 character becomes %XX, so that any name is one settings group and
    // comes back byte for byte.
    static QString escapeKeyName(const std::string& name);
    static std::string unescapeKeyName(const QString& escaped);

private:
    enum class PathKind { Root, SubKey, Invalid };
    static PathKind splitPath(const std::string& path, std::string& subKey);
    // The stored group of a subkey name (its escaped spelling, the name as it is, else a
    // case-insensitive match), or empty when none.
    QString findGroup(const std::string& subKey) const;
    bool groupExists(const QString& group) const;
    QString valueKey(const std::string& name) const;
    [[noreturn]] static void invalidType(const std::string& name);

    std::unique_ptr<QSettings> m_settings;
    bool m_open = false;
    QString m_group;  // the open key's settings group; empty for the program key
};
