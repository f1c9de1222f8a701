// Whether the canvas's picture is saved and whether it is autosaved, together
// with the recovery file where an unsaved picture waits for the next start.
// Commands report what happened to the picture; the counts follow from that.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/picture_history.h"
#include "core/recovery_file.h"
#include "core/surface.h"

class TSaveState {
 public:
  // `picture` is the canvas's bitmap and outlives this. Nothing is made on
  // disk until the first write.
  TSaveState(TBitmap& picture, std::string recoveryFolder);

  TRecoveryFile& Recovery() { return *recovery_; }

  // The picture the user starts from needs no recovery; a file already there
  // stays.
  void Started();
  // Events after which the picture as it is needs no recovery file: the
  // file goes, with any uncut recovered picture.
  void Saved();      // written to a file the user chose
  void Discarded();  // let go at the save question, or nothing to ask about
  void Opened();     // loaded from a file, replacing the picture
  void Cleared();    // made blank by New
  // A left picture was loaded whole: its file becomes this process's
  // recovery file and counts as autosaved. A file that cannot be taken over
  // stays where it was, to be offered again next time.
  void Recovered(TLeftPicture& left);
  // A left picture larger than the canvas was loaded: its file keeps the
  // whole picture, locked, until the picture is saved or let go.
  void RecoveredCut(TLeftPicture left);

  // Modified by the user and changed since it last needed no recovery file.
  bool NeedsRecovery(bool modified) const;
  // Readies the copy buffer off this thread, so that the first autosave
  // meets no page faults.
  void PrepareAutosave();
  // An autosave tick: copies the picture here (only the tiles `history` saw
  // change since the last copy) and writes it on the recovery file's thread,
  // when it needs recovery and changed since it was last autosaved.
  void Autosave(bool modified, TPictureHistory& history);

  // At a clean close: the recovery file goes, unless the picture changed
  // since it last needed none, when it is written now. Returns why it could
  // not be written.
  std::optional<std::string> Closing();
  // A termination signal or the session's end: from now on nothing removes
  // the recovery file. The picture is written when it needs recovery, else
  // the file goes unless `settledAtClose`. Raises the file's error.
  void SessionEnding(bool modified, bool settledAtClose);
  bool Ending() const { return ending_; }

 private:
  void MarkClean();
  std::size_t PixelCount() const;

  TBitmap& picture_;
  std::unique_ptr<TRecoveryFile> recovery_;
  // A recovered picture larger than the canvas can be: its file, as it was,
  // until the picture is saved or let go (a cut copy never replaces it).
  std::optional<TLeftPicture> uncut_;
  // The picture's change count when it last needed no recovery file, and
  // when it was last autosaved.
  std::uint64_t cleanChanges_ = 0;
  std::optional<std::uint64_t> autosavedChanges_;
  bool ending_ = false;
};
