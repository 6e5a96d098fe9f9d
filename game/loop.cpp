// The game's spine: title, dream, turn loop, verb table, and the end of the program.

#include "game/loop.h"

#include <algorithm>

#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/editor.h"
#include "game/game.h"
#include "game/movement.h"
#include "game/objects.h"
#include "game/output.h"
#include "game/score.h"
#include "game/story.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "text/case.h"

namespace game {
namespace {

constexpr std::size_t MaxRestLength = 999;

// Tried in this order, each once; the trailing blank is part of the word.
constexpr std::array<std::string_view, 11> NoiseWords = {"PARA "_word, "COM "_word, "ATÉ "_word, "UMA "_word,
                                                         "UM "_word,   "NO "_word,  "NA "_word,  "DO "_word,
                                                         "DA "_word,   "O "_word,   "A "_word};

constexpr std::array<std::string_view, 4> Credits = {
    "Criado pela equipe de Ilha de Quelvar."_text,
    "Console, editor de linha e fala: a equipe de Ilha de Quelvar."_text,
    "Digite AJUDA para conhecer os comandos."_text,
    "Boa sorte, marujo!"_text,
};

constexpr std::array<std::string_view, 6> Dream = {
    "Em seu sono, você sonha com piratas corajosos que velejam através dos mares,"_text,
    "achando tesouros secretos escondidos em ilhas perigosas."_text,
    "Você sonha com aventuras e lutas até a morte entre piratas"_text,
    "envolvendo estátuas de ouro e baús com moedas de ouro muito antigas."_text,
    "Você sonha, sonha até o balanço do mar acordar você"_text,
    "a bordo do navio \"O Ninho da Águia\", um navio de pirata!"_text,
};

void DoLost(Game&) {
  Show("Se você está perdido, eu também estou."_text);
  LineEnd();
}

void DoQuit(Game& game) { game.command.leaveTurnLoop = true; }

void DoLook(Game& game) { game.world.lookPending = true; }

void DoGoDown(Game& game) {
  game.command.rest = "D";
  DoMove(game);
}

void DoGoUp(Game& game) {
  game.command.rest = "U";
  DoMove(game);
}

void DoGoLetter(Game& game) {
  game.command.rest = game.command.verb;
  DoMove(game);
}

// First match wins; a verb appears in one row only.
constexpr std::array<VerbRow, 22> VerbTable = {{
    {{"AJUDA"_word, "AJUDAR"_word, "HELP"_word}, ShowHelp},
    {{"VOLTAR"_word}, DoLost},
    {{"PROCURAR"_word}, DoSearch},
    {{"INVENTÁRIO"_word, "I"_word}, ShowInventory},
    {{"PONTOS"_word}, ShowScore},
    {{"CAVAR"_word}, DoDig},
    {{"BATER"_word}, DoKnock},
    {{"ABANDONAR"_word, "FIM"_word}, DoQuit},
    {{"OLHAR"_word}, DoLook},
    {{"NADAR"_word}, DoSwim},
    {{"DESCER"_word, "BAIXO"_word, "B"_word}, DoGoDown},
    {{"SUBIR"_word, "CIMA"_word, "C"_word}, DoGoUp},
    {{"N"_word, "S"_word, "E"_word, "W"_word, "D"_word, "U"_word}, DoGoLetter},
    {{"IR"_word, "VAI"_word, "MOVER"_word, "ANDAR"_word, "CAMINHAR"_word}, DoMove},
    {{"PEGAR"_word, "TOMAR"_word}, DoTake},
    {{"DEIXAR"_word, "LARGAR"_word, "SOLTAR"_word}, DoDrop},
    {{"ABRIR"_word}, DoOpen},
    {{"CONFIG"_word, "CONFIGURAÇÃO"_word}, DoConfig},
    {{"DESTRANCAR"_word, "REBENTAR"_word}, DoUnlock},
    {{"COMPRAR"_word}, DoBuy},
    {{"TREPAR"_word}, DoClimb},
    {{"LER"_word}, DoRead},
}};

void ReadCommandLine(Command& command) {
  for (;;) {
    Show(">");  // the console's write shows it at once
    speech::PlayClick();
    editor::ReadLine(command.line);
    NormaliseCommand(command.line);
    if (!command.line.empty()) break;
    SayLine("O quê?"_text);
  }
  command.line = text::UpperText(command.line);
}

void ShowTitle() {
  console::ClearScreen();
  console::SetWindowTitle("Ilha de Quelvar"_text);
}

void TellDream() {
  console::MoveCursor(1, console::ScreenRows);
  SetTextColours(0, 7);
  LineEnd();
  Say("Ilha de Quelvar"_text);
  Show(" - uma aventura pirata falada"_text);
  LineEnd();
  for (std::size_t i = 0; i < Credits.size(); ++i) {
    Show(Credits[i]);
    if (i + 1 < Credits.size()) LineEnd();
  }
  SetTextColours(7, 0);
  LineEnd();
  LineEnd();
  speech::PlayTone();
  console::Pause(2000);
  SayLines(Dream);
  speech::PlayTone();
  for (int i = 0; i < 6; ++i) LineEnd();
}

}  // namespace

void NormaliseCommand(std::string& line) {
  while (!line.empty() && line.front() == ' ') line.erase(0, 1);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  for (std::size_t pair = line.find("  "); pair != std::string::npos; pair = line.find("  ")) {
    line.erase(pair, 1);
  }
}

void StripNoiseWords(std::string& text) {
  for (const std::string_view word : NoiseWords) {
    if (std::string_view(text).starts_with(word)) text.erase(0, word.size());
  }
}

void SplitCommand(Command& command) {
  const std::size_t blank = command.line.find(' ');
  if (blank == std::string::npos) {
    command.verb = command.line;
    command.rest.clear();
  } else {
    command.verb = command.line.substr(0, blank);
    command.rest = command.line.substr(blank + 1, MaxRestLength);
  }
  StripNoiseWords(command.rest);
}

std::span<const VerbRow> Verbs() { return VerbTable; }

const VerbRow* FindVerb(std::string_view verb) {
  for (const VerbRow& row : VerbTable) {
    if (!verb.empty() && std::find(row.words.begin(), row.words.end(), verb) != row.words.end()) {
      return &row;
    }
  }
  return nullptr;
}

void Dispatch(Game& game) {
  if (const VerbRow* row = FindVerb(game.command.verb)) {
    row->handler(game);
  } else {
    SayLine("Eu não conheço esta palavra."_text);
  }
}

std::string ReadAnswer() {
  std::string answer;
  editor::ReadLine(answer);
  answer = text::UpperText(answer);
  StripNoiseWords(answer);
  return answer;
}

void TurnLoop(Game& game) {
  World& world = game.world;
  game.command.leaveTurnLoop = false;
  for (;;) {
    if (world.lookPending) {
      world.lookPending = false;
      DescribeRoom(game);
      if (world.gameOver) return;
      ListObjectsHere(game);
    }
    if (world.questionAsked == 1) {
      ++world.turnsSinceQuestion;
      if (world.turnsSinceQuestion == 10) {
        CaptainArrives(game);
        if (game.command.leaveTurnLoop) return;
      }
    }
    LineEnd();
    ReadCommandLine(game.command);
    SplitCommand(game.command);
    Dispatch(game);
    if (world.gameOver || game.command.leaveTurnLoop) return;
  }
}

[[noreturn]] void RunGame() {
  speech::StartSpeech(0, "");
  speech::State().punctuationNames = false;
  Game game;  // lives for the whole run: the brief setting outlasts a game
  do {
    ShowTitle();
    ResetWorld(game.world);
    TellDream();
    TurnLoop(game);
    ShowScore(game);
  } while (AskRestart(game));
  speech::EndSpeech();
  console::CloseConsole();
}

}  // namespace game
