#pragma once

#include <QStringList>

namespace app {

// A program's command line, split between the program and Qt: every argument after the
// program's name is the program's own, and Qt is given the name alone, so that nothing the user
// passes is ever read as an option of Qt's.
class Arguments {
public:
    Arguments(int argc, char** argv);

    // The program's own arguments, from the local 8-bit encoding.
    const QStringList& words() const { return words_; }
    // What to hand QCoreApplication or QApplication; must outlive it.
    int& qtArgc() { return qtArgc_; }
    char** qtArgv() { return qtArgv_; }

private:
    QStringList words_;
    int qtArgc_ = 1;
    char* qtArgv_[2];
};

// The two programs, as --version and the window captions' owners name them.
enum class Program { Portal, Player };

// Sets the application's name, version (from the build's version settings) and maker.
void nameProgram(Program program);

} // namespace app
