// SelectDirectory: the class library's own folder chooser window (a name field, drives,
// folders, files; OK, cancel, help), modal over the active window.
#pragma once

#include <string>

enum TSelectDirOpt : unsigned { sdAllowCreate = 1, sdPerformCreate = 2, sdPrompt = 4 };
using TSelectDirOpts = unsigned;

// Opens on Directory, or on the process's current folder when it is "". True only for OK, with
// Directory set to the name field's text exactly as it stood. sdAllowCreate makes the field
// editable; sdPrompt asks before accepting a name that is no existing folder; sdPerformCreate
// then makes it with its parents (silently when that fails; an empty name raises
// "ディレクトリを作成できません"). HelpCtx other than 0 shows the help button.
bool SelectDirectory(std::string& Directory, TSelectDirOpts Options, int HelpCtx);

// Asked of the help button; the program names no help file, so by default it shows nothing.
using THelpHandler = void (*)(int HelpCtx);
void SetHelpHandler(THelpHandler Handler);
