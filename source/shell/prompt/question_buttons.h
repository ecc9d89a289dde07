#pragma once
// The buttons of a yes/no/cancel question named for what they do: the
// question's text stays as it is, and its Yes and No buttons say what each
// does ("Overwrite", "Keep Existing"); Cancel keeps its name. Where Yes
// destroys something, No is the default, so that Enter never does.

#include <string>

struct QuestionButtons {
  std::string yes;
  std::string no;
  bool noIsDefault = false;
};

// "File already exists. Overwrite it?" before a file is copied in: No uses
// the file that is there.
inline const QuestionButtons kOverwriteOrKeepButtons{"&Overwrite", "&Keep Existing", true};
// The same question after a save dialog: No goes back to choose another name.
inline const QuestionButtons kOverwriteOrRenameButtons{"&Overwrite", "Choose &Another Name", true};
