#include "CDocumentSound.h"

#include "CModelessMsgBox.h"
#include "StringIds.h"
#include "WxCommandId.h"

#include <wx/app.h>
#include <wx/docview.h>

CDocumentSound::CDocumentSound(wxDocument& document, SoundPlayer::SoundSource source,
                               std::function<int()> focusedSoundCount)
    : focusedSoundCount_(std::move(focusedSoundCount)), alive_(std::make_shared<bool>(true)),
      player_(std::move(source), [this, alive = alive_] {
          // To this document's player, on the user-interface thread.
          wxTheApp->CallAfter([this, alive] {
              if (*alive) player_.SoundDone();
          });
      }) {
    document.Bind(wxEVT_MENU, &CDocumentSound::OnPlay, this, ToWxId(kPlaySounds));
    document.Bind(wxEVT_MENU, &CDocumentSound::OnStop, this, ToWxId(kStopSounds));
    document.Bind(wxEVT_UPDATE_UI, &CDocumentSound::OnUpdatePlay, this, ToWxId(kPlaySounds));
    document.Bind(wxEVT_UPDATE_UI, &CDocumentSound::OnUpdateStop, this, ToWxId(kStopSounds));
}

CDocumentSound::~CDocumentSound() {
    player_.StopAndWait();
    *alive_ = false;
}

void CDocumentSound::StopAndWaitShowing(wxWindow* parent) {
    if (!player_.IsPlaying()) {
        player_.StopAndWait();
        return;
    }
    CModelessMsgBox wait(IDS_WAIT_FOR_SOUND);
    wait.Create(parent);
    player_.StopAndWait();
}

void CDocumentSound::OnPlay(wxCommandEvent&) {
    const int count = focusedSoundCount_();
    if (player_.CanPlay(count)) player_.Play(DefaultSoundIndex(count));
}

void CDocumentSound::OnStop(wxCommandEvent&) { player_.Stop(); }

void CDocumentSound::OnUpdatePlay(wxUpdateUIEvent& event) { event.Enable(player_.CanPlay(focusedSoundCount_())); }

void CDocumentSound::OnUpdateStop(wxUpdateUIEvent& event) { event.Enable(player_.CanStop(focusedSoundCount_())); }
