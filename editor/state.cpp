// The one instance of the editor's state.

#include "editor/state.h"

namespace editor {

detail::Editor& detail::TheEditor() {
  static Editor editor;
  return editor;
}

Sounds& SpeechSounds() { return detail::TheEditor().speechSounds; }

}  // namespace editor
