#pragma once
// Where the program keeps the trader's files, and the configuration of a
// first start.
//
// A program in a folder of the user's own (a build, an unpacked copy) keeps
// hts.ini, draws.json, news/ and the rest beside its executable. A program
// whose folder the user cannot write — installed by the package manager
// under /opt — keeps them in $XDG_DATA_HOME/kestrelhts (~/.local/share/
// kestrelhts); removing the package leaves them alone, and such a program
// never replaces its own executable: updates come with the package. The
// package marks its folder with kPackagedMark (root may write any folder).
#include <QString>

inline constexpr const char* kPackagedMark = "kestrelhts.packaged";

struct TInstallInfo {
    QString ExeDir;     // the executable's folder (its result layouts in Res/)
    QString FilesDir;   // the trader's files
    bool Managed = false;   // installed read-only: updates come from the package
};

// `exeDir` the executable's folder; `dataHome` $XDG_DATA_HOME (empty: the
// environment's, else ~/.local/share).
TInstallInfo InstallInfoFor(const QString& exeDir, const QString& dataHome = QString());

// Writes hts.ini in `filesDir` when there is none: the simulated exchange as
// the server (HOST=sim, PORT=20001, SVRTYPE=0) and the result layouts of
// `resDir`. An existing file is never touched. False with a reason when the
// file could not be written.
bool WriteDefaultConfig(const QString& filesDir, const QString& resDir, QString* err = nullptr);
