// Score and ranks, restarting, help and the brief-description setting.

#include "game/score.h"

#include <array>
#include <string>

#include "console/keyboard.h"
#include "console/screen.h"
#include "game/output.h"

namespace game {
namespace {

struct Rank {
  int32_t lowestScore;
  std::string_view text;
};

// Highest first: the first rank whose lowest score is reached is the player's.
constexpr std::array<Rank, 5> Ranks = {{
    {150, "Capitão do Mar."_text},
    {100, "Bucaneiro."_text},
    {50, "Homem do Mar."_text},
    {1, "Menino de Tombadilho."_text},
    {0, "Clandestino no navio."_text},
}};

constexpr std::string_view HelpStory[] = {
    "Muito bem, jovem pirata! Bons ventos o tragam!  Como o velho Moby Dick."_text,
    "Seu grande avô - realmente grande - o nomeou. Bem, vamos aos negócios."_text,
    "",
    "Você deve achar a localização (longitude e latitude) da amedrontadora"_text,
    "Ilha de Quelvar, explorá-la e trazer de volta a famosa moeda espanhola"_text,
    "que supostamente está lá."_text,
    "",
    "Não tente enganar ninguém da minha tripulação ou então!..."_text,
    "Não tente especialmente me enganar!"_text,
    "É melhor você achar a moeda antes de você voltar ao meu navio,"_text,
    "ou então este alfanje será seu último desejo!"_text,
    "",
    "Agora você começará no meu navio \"O Ninho da Águia\""_text,
    "e tem que primeiro localizar a longitude e latitude das ilhas"_text,
    "usando informações que devem buscará em algum lugar no meu navio."_text,
    "",
    "Quando você alcançar a ilha - se você conseguir - você a explorará"_text,
    "até achar a moeda e então vai trazê-la para meu navio."_text,
    "",
    "Tenha bom dia!"_text,
    "",
    "... aperte Enter "_text,
};

constexpr std::string_view HelpCommands[] = {
    "** Comandos Importantes **"_text,
    "",
    "            Para andar, use os pontos cardeais - N, S, E, W"_text,
    "            Para cima e baixo, use C, B (ou U, D)"_text,
    "            Olhar            -  Para conhecer o lugar"_text,
    "            Pegar objeto     -  Para pegar um objeto"_text,
    "            Deixar objeto    -  Para largar um objeto"_text,
    "            Nadar            -  Para nadar"_text,
    "            Destrancar       -  Para destrancar um objeto"_text,
    "            Abrir            -  Para abrir algo"_text,
    "            Olhar            -  Mostra o lugar onde você está. "_text,
    "            I ou Inventário  -  Para mostrar o que você está levando"_text,
    "",
    "Para receber as descrições de lugares resumidas digite: config +entrour"_text,
    "Para voltar a receber as descrições detalhadas digite:  config -entrour."_text,
    "Isso é tudo, agora vamos ao que interessa."_text,
    "",
};

// The Enter that turns a help page: a line from the standard input, thrown away.
void WaitForEnter() { console::ReadEchoedLine(); }

}  // namespace

std::string_view RankFor(int32_t score) {
  for (const Rank& rank : Ranks) {
    if (score >= rank.lowestScore) return rank.text;
  }
  return Ranks.back().text;
}

void ShowScore(Game& game) {
  const int32_t score = game.world.score;
  SetTextColours(0, 7);
  console::MoveCursor(1, console::ScreenRows);
  console::ClearToLineEnd();
  console::MoveCursor(50, console::ScreenRows);
  Say("Pontuação: "_text);
  SayNumber(score);
  SetTextColours(7, 0);
  LineEnd();
  Say("Do máximo de 200 pontos, você conseguiu "_text);
  SayNumber(score);
  SayLine(" pontos."_text);
  Say("Isso dá a você uma qualificação de "_text);
  SayLine(RankFor(score));
}

bool AskRestart(Game& game) {
  SayLine("Você gostaria de começar de novo?"_text);
  const uint8_t key = console::WaitKey();
  if (key == 0) {
    // A special key comes as two codes; its second one must not reach the next command.
    console::WaitKey();
    SayLine({});
  } else {
    const char answer = static_cast<char>(key);
    SayLine(std::string_view(&answer, 1));
  }
  if (key == 'N' || key == 'n') {
    LineEnd();
    SayLine("OK. Veja você da próxima vez na Ilha de Quelvar."_text);
    console::Pause(1000);
    console::ClearScreen();
    return false;
  }
  std::array<Exits, RoomCount + 1>& exits = game.world.exits;
  exits[Cabin].east = NoWay;
  exits[CorridorNorth].west = NoWay;
  exits[BatCave].down = NoWay;
  exits[SecretCave].up = NoWay;
  console::ClearScreen();
  return true;
}

void ShowHelp(Game&) {
  console::ClearScreen();
  SayLines(HelpStory);
  WaitForEnter();
  console::ClearScreen();
  SayLines(HelpCommands);
  Say("... aperte Enter "_text);
  WaitForEnter();
  console::MoveCursor(1, console::ScreenRows);
}

void DoConfig(Game& game) {
  bool& brief = game.world.briefMode;
  const std::string& option = game.command.rest;
  if (option.empty()) {
    SayLine("Você não informou a opção de config a ativar ou desativar."_text);
  } else if (option == "-ENTROUR"_word) {
    if (!brief) {
      SayLine("Este config já está desativado. "_text);
    } else {
      brief = false;
    }
  } else if (option == "+ENTROUR"_word) {
    if (brief) {
      SayLine("Este config já está ativado. "_text);
    } else {
      brief = true;
    }
  }
}

}  // namespace game
