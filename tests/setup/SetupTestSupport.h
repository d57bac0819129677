#pragma once
// A setup folder of the tests' own (scripts, program files), a place to install into, the
// user's folders moved into the temporary folder, and a way to read the installed database.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/FbTestDatabase.h"
#include "common/TempFolder.h"
#include "database/datalink/DLEngine.h"
#include "setup/DLCreateDatabase.h"

namespace kelvar::setuptest {

namespace fs = std::filesystem;

// Small schema scripts in the form the setup runs: version 1 after tables.sql.
inline const char* TablesScript() {
    return "-- songs and their categories\n"
           "CREATE TABLE category (\n"
           "  ID INTEGER NOT NULL PRIMARY KEY,\n"
           "  name VARCHAR(100)\n"
           ");\n"
           "\n"
           "CREATE TABLE songlist (\n"
           "  ID INTEGER NOT NULL PRIMARY KEY,\n"
           "  title VARCHAR(200)\n"
           ");\n"
           "CREATE GENERATOR GEN_songlist_ID;\n"
           "COMMENT ON COLUMN category.ID IS '1';\n";
}

inline const char* DataScript() {
    return "# default data\n"
           "INSERT INTO category (ID, name) VALUES (1, 'Music');\n"
           "INSERT INTO category (ID, name) VALUES (2, 'Jingles');\n";
}

// Sets an environment variable for the life of the object.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const std::string& value) : Name(name) {
        if (const char* old = std::getenv(name)) {
            Had = true;
            Old = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (Had)
            setenv(Name, Old.c_str(), 1);
        else
            unsetenv(Name);
    }

private:
    const char* Name;
    bool Had = false;
    std::string Old;
};

class TSetupFolders {
public:
    TSetupFolders()
        : ConfigHome("XDG_CONFIG_HOME", (Temp.Path() / "config").string()),
          DataHome("XDG_DATA_HOME", (Temp.Path() / "data").string()) {
        fbtest::UseOwnLockFolder();
        SetupFolder = Temp.Path() / "setup";
        fs::create_directories(SetupFolder / "sql-firebird");
        fs::create_directories(SetupFolder / "kelvar" / "layout" / "Size 1024x768");
        fs::create_directories(SetupFolder / "kelvar" / "layout" / "Size  800x600");
        Script("tables.sql", TablesScript());
        Script("data.sql", DataScript());
        Payload("KelvarZorvik", "#!/bin/sh\n");
        Payload("KelvarZorvik.core.xml",
                "<?xml version=\"1.0\"?>\n<CONFIG>\n  <Kelvar>\n    <Plugins>\n      "
                "<Folder>$INSTALLDIR$/plugins</Folder>\n"
                "    </Plugins>\n  </Kelvar>\n</CONFIG>\n");
        Payload("layout/Size 1024x768/default.kgl", "<CONFIG><MAIN><Size>large</Size></MAIN></CONFIG>\n");
        Payload("layout/Size  800x600/default.kgl", "<CONFIG><MAIN><Size>small</Size></MAIN></CONFIG>\n");
        fs::create_directories(SetupFolder / "kelvar" / "help");
        Payload("help/Readme.html", "<html><body>Kelvar</body></html>\n");
        InstallFolder = Temp.Path() / "install";
    }

    void Script(const std::string& name, const std::string& text) const {
        test::WriteWholeFile((SetupFolder / "sql-firebird" / name).string(), text);
    }
    void Payload(const std::string& name, const std::string& text) const {
        test::WriteWholeFile((SetupFolder / "kelvar" / name).string(), text);
    }

    std::string InstalledFile(const std::string& name) const { return (InstallFolder / name).string(); }
    std::string DatabaseFile() const { return InstalledFile("KelvarDB/KelvarDB.fdb"); }
    std::string ConfigFile() const { return InstalledFile("KelvarZorvik.core.xml"); }

    test::TTempFolder Temp;
    TScopedEnv ConfigHome;
    TScopedEnv DataHome;
    fs::path SetupFolder;
    fs::path InstallFolder;
};

// The first column of every row of a query on the database file (embedded, as its owner).
inline std::vector<std::string> QueryColumn(const std::string& remote, const std::string& sql,
                                            const std::string& password = "") {
    static std::atomic<int> counter{0};
    std::string name = "SetupTestCheck" + std::to_string(++counter);
    TDLDatabase db;
    db.LoginPrompt = false;
    db.SetDatabaseName(name);
    db.SetServerType(stFirebird);
    db.SetRemoteDatabase(remote);
    db.Params = TDLStrings{"USER NAME=SYSDBA", "PASSWORD=" + password, "SQL Dialect=3", "LOCAL CHARSET=UTF8"};
    db.Open();
    std::vector<std::string> rows;
    {
        TDLQuery q;
        q.SetDatabaseName(name);
        q.SetSQL(sql);
        q.Open();
        for (; !q.Eof(); q.Next()) rows.push_back(q.Fields(0)->AsString());
        q.Close();
    }
    db.Close();
    return rows;
}

inline std::string SchemaVersion(const std::string& remote, const std::string& password = "") {
    auto rows = QueryColumn(remote,
                            "SELECT rdb$description FROM rdb$relation_fields WHERE rdb$relation_name = 'CATEGORY' "
                            "AND rdb$field_name = 'ID'",
                            password);
    return rows.empty() ? "" : rows[0];
}

inline int FileMode(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 0777);
}

}  // namespace kelvar::setuptest

namespace kelvar::setuptest {

// Runs statements on the database file (embedded, as its owner), each committed.
inline void ExecOn(const std::string& remote, const std::vector<std::string>& statements) {
    static std::atomic<int> counter{0};
    std::string name = "SetupTestExec" + std::to_string(++counter);
    TDLDatabase db;
    db.LoginPrompt = false;
    db.SetDatabaseName(name);
    db.SetServerType(stFirebird);
    db.SetRemoteDatabase(remote);
    db.Params = TDLStrings{"USER NAME=SYSDBA", "PASSWORD=", "SQL Dialect=3", "LOCAL CHARSET=UTF8", "AUTOCOMMIT=true"};
    db.Open();
    {
        TDLQuery q;
        q.SetDatabaseName(name);
        for (const std::string& sql : statements) {
            q.SetSQL(sql);
            q.ExecSQL();
        }
    }
    db.Close();
}

// A database file without tables, as a creation cut short leaves it.
inline void MakeTablelessDatabase(const std::string& file) {
    fs::create_directories(fs::path(file).parent_path());
    TDLDatabase db;
    db.SetServerType(stFirebird);
    db.SetRemoteDatabase(file);
    db.Params = TDLStrings{"USER NAME=SYSDBA", "PASSWORD=", "SQL Dialect=3", "LOCAL CHARSET=UTF8"};
    CreateDatabase(db);
}

// The log lines of one install, for order and content checks.
struct TCapturedLog {
    std::vector<std::string> Lines;
    bool Has(const std::string& line) const {
        for (const std::string& l : Lines)
            if (l == line) return true;
        return false;
    }
    bool Mentions(const std::string& text) const {
        for (const std::string& l : Lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    // Position of the first line equal to line, or -1.
    int IndexOf(const std::string& line) const {
        for (size_t i = 0; i < Lines.size(); ++i)
            if (Lines[i] == line) return static_cast<int>(i);
        return -1;
    }
};

}  // namespace kelvar::setuptest
