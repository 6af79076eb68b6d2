#pragma once
// The remembered passphrase, as far as the menu needs it: whether one is
// kept, and forgetting it. The keyring behind it comes later; until then
// nothing is ever remembered.

namespace tw {

struct Passphrasenspeicher {
  virtual ~Passphrasenspeicher() = default;
  // Main thread only; answers quickly and never asks the user.
  virtual bool passphraseGemerkt() = 0;
  // Main thread only; removes the remembered passphrase wherever it is kept.
  virtual void passphraseLoeschen() = 0;
};

struct KeinPassphrasenspeicher final : Passphrasenspeicher {
  bool passphraseGemerkt() override { return false; }
  void passphraseLoeschen() override {}
};

}  // namespace tw
