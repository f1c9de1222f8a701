#include "app/save_state.h"

TSaveState::TSaveState(TBitmap& picture, std::string recoveryFolder)
    : picture_(picture), recovery_(std::make_unique<TRecoveryFile>(std::move(recoveryFolder))) {}

void TSaveState::Started() {
  cleanChanges_ = picture_.ChangeCount();
}

void TSaveState::Saved() {
  MarkClean();
}

void TSaveState::Discarded() {
  MarkClean();
}

void TSaveState::Opened() {
  MarkClean();
}

void TSaveState::Cleared() {
  MarkClean();
}

void TSaveState::MarkClean() {
  if (ending_) return;
  if (uncut_) uncut_->Delete();
  uncut_.reset();
  cleanChanges_ = picture_.ChangeCount();
  autosavedChanges_.reset();
  recovery_->Remove();
}

void TSaveState::Recovered(TLeftPicture& left) {
  try {
    recovery_->Adopt(left);
    autosavedChanges_ = picture_.ChangeCount();
  } catch (const std::exception&) {
    // The file stays where it was and is offered again next time.
  }
}

void TSaveState::RecoveredCut(TLeftPicture left) {
  uncut_.emplace(std::move(left));
}

bool TSaveState::NeedsRecovery(bool modified) const {
  return modified && picture_.ChangeCount() != cleanChanges_;
}

std::size_t TSaveState::PixelCount() const {
  return picture_.Empty() ? 0 : static_cast<std::size_t>(picture_.Width()) * picture_.Height();
}

void TSaveState::PrepareAutosave() {
  recovery_->Reserve(PixelCount());
}

void TSaveState::Autosave(bool modified, TPictureHistory& history) {
  if (recovery_->TakeFailure()) autosavedChanges_.reset();  // try again
  const std::uint64_t changes = picture_.ChangeCount();
  if (NeedsRecovery(modified) && autosavedChanges_ != changes) {
    if (recovery_->WriteInBackground(picture_, history.ChangedTiles())) {
      autosavedChanges_ = changes;
      history.ForgetChanges();
    }
  } else {
    recovery_->Reserve(PixelCount());  // a resize may have outgrown the copy buffer
  }
}

std::optional<std::string> TSaveState::Closing() {
  if (ending_) return std::nullopt;
  std::optional<std::string> failure;
  if (picture_.ChangeCount() == cleanChanges_) {
    recovery_->Remove();
  } else {
    try {
      recovery_->Write(picture_);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  recovery_->WaitIdle();
  return failure;
}

void TSaveState::SessionEnding(bool modified, bool settledAtClose) {
  if (ending_) return;
  ending_ = true;
  if (NeedsRecovery(modified))
    recovery_->Write(picture_);
  else if (!settledAtClose)  // else the close has kept it, saved it or said why not
    recovery_->Remove();
  recovery_->WaitIdle();
}
