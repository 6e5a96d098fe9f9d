#pragma once
// The world model: rooms, exits and objects as tables, and the whole state of one game.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "game/text.h"

namespace game {

inline constexpr int RoomCount = 45;
inline constexpr int ObjectCount = 14;

// The rooms, by their number in the tables below (the exits tables keep the numbers).
enum Room : int {
  Cliff = 1,
  RainforestLoop,
  Rainforest,
  SmallPath,
  ThickForestEdge,
  BelowCliff,
  Rock,
  Tree,
  ThickForestWest,
  ThickForestSouth,
  InnerCove,
  Meadow,
  ThickForestEast,
  SwampNorth,
  Quicksand,
  BeachPath,
  Beach,
  SwampEast,
  SwampSouth,
  DarkCave,
  BatCave,
  ShallowCove,
  SecretCave,
  Helm,
  CaptainsQuarters,
  Cabin,
  CorridorNorth,
  PortDeckWest,
  PortDeckEast,
  CrewCabin,
  Corridor,
  MidDeckWest,
  MidDeckEast,
  CrowsNestWest,
  CrowsNestEast,
  MessHall,
  CorridorMiddle,
  StarboardWest,
  StarboardEast,
  Galley,
  CorridorSouth,
  Library,
  Underwater,
  BayTop,
  BayBottom
};
static_assert(BayBottom == RoomCount);

// Places of objects besides room numbers.
inline constexpr int32_t Carried = 200;
inline constexpr int32_t Nowhere = 255;

enum Object : int {
  Pickaxe = 1,
  Captain,
  Key,
  Garlic,
  Book,
  Sword,
  Chest,
  Cook,
  Coin,
  Tray,
  Box,
  Bayonet,
  Grating,
  Bag
};

// The six exits of a room, in this order; the letters are what DoMove understands.
enum Direction : int { North, South, East, West, Up, Down };
inline constexpr std::string_view DirectionLetters = "NSEWUD";

using Exits = std::array<uint8_t, 6>;  // room numbers, 0 = no way

struct RoomInfo {
  std::string_view name;  // the status line; some names end with a blank
  Exits exits;            // at program start
};

struct ObjectInfo {
  std::string_view word;         // what the player types
  std::string_view hereText;     // said when it lies in the current room
  std::string_view carriedText;  // the inventory's phrase; empty: cannot be carried
  int32_t startPlace;
};

// Indexed by room number; entry 0 is unused.
inline constexpr std::array<RoomInfo, RoomCount + 1> Rooms = {{
    {},
    {"Precipício alto"_text, {0, 0, 0, 0, 0, 6}},
    {"Floresta tropical"_text, {2, 2, 3, 2, 0, 0}},
    {"Floresta tropical"_text, {2, 3, 4, 0, 6, 0}},
    {"Caminho pequeno"_text, {0, 0, 0, 3, 8, 0}},
    {"Floresta espessa "_text, {0, 5, 10, 9, 0, 0}},
    {"Precipício próximo "_text, {0, 0, 12, 11, 1, 3}},
    {"Rocha"_text, {0, 17, 0, 0, 0, 0}},
    {"Em cima de uma árvore"_text, {0, 0, 0, 0, 0, 4}},
    {"Floresta espessa"_text, {5, 10, 13, 9, 0, 0}},
    {"Floresta espessa"_text, {5, 19, 10, 9, 0, 0}},
    {"Enseada interior"_text, {6, 15, 12, 0, 0, 0}},
    {"Prado "_text, {6, 16, 0, 11, 0, 0}},
    {"Floresta espessa "_text, {9, 0, 0, 18, 0, 0}},
    {"Pântano "_text, {0, 19, 14, 20, 0, 0}},
    {"Areia movediça "_text, {0, 0, 0, 0, 0, 0}},
    {"Caminho da praia "_text, {12, 0, 17, 15, 0, 0}},
    {"Praia com areia"_text, {7, 22, 18, 16, 0, 0}},
    {"Pântano "_text, {13, 0, 0, 17, 0, 0}},
    {"Pântano "_text, {14, 18, 19, 10, 0, 0}},
    {"Caverna escura"_text, {0, 0, 21, 14, 0, 0}},
    {"Caverna de morcegos"_text, {0, 0, 0, 20, 0, 0}},
    {"Enseada rasa"_text, {17, 39, 43, 43, 43, 43}},
    {"Caverna secreta"_text, {0, 0, 0, 0, 21, 0}},
    {"Timão"_text, {0, 0, 29, 28, 0, 0}},
    {"Camarote do capitão"_text, {0, 29, 0, 0, 0, 0}},
    {"Sua cabine"_text, {0, 0, 0, 0, 0, 0}},
    {"Corredor"_text, {0, 31, 0, 0, 0, 0}},
    {"Tombadilho de Abordagem"_text, {24, 32, 29, 0, 0, 0}},
    {"Tombadilho de abordagem"_text, {0, 33, 24, 28, 0, 0}},
    {"Cabine da tripulação"_text, {0, 0, 31, 0, 0, 0}},
    {"Corredor"_text, {27, 37, 0, 30, 33, 0}},
    {"Tombadilho do meio"_text, {28, 38, 33, 0, 0, 0}},
    {"Tombadilho do meio"_text, {29, 39, 0, 32, 0, 31}},
    {"Vigia da gávea"_text, {0, 0, 0, 0, 0, 32}},
    {"Vigia da gávea"_text, {0, 0, 0, 0, 0, 33}},
    {"Refeitório"_text, {0, 40, 37, 0, 0, 0}},
    {"Corredor"_text, {31, 41, 0, 36, 39, 0}},
    {"Tombadilho de estibordo"_text, {32, 42, 39, 0, 0, 0}},
    {"Tombadilho de estibordo"_text, {33, 0, 0, 38, 0, 37}},
    {"Galera"_text, {36, 0, 0, 0, 0, 0}},
    {"Corredor"_text, {37, 0, 0, 0, 0, 0}},
    {"Biblioteca do navio"_text, {38, 0, 0, 0, 0, 0}},
    {"Debaixo d'água"_text, {0, 0, 0, 0, 0, 0}},
    {"Parte superior da baía"_text, {0, 0, 11, 0, 0, 45}},
    {"Parte inferior da baía"_text, {0, 0, 0, 0, 44, 0}},
}};

// Indexed by object number; entry 0 is unused.
inline constexpr std::array<ObjectInfo, ObjectCount + 1> Objects = {{
    {},
    {"PICARETA"_word, "Existe uma picareta velha aqui."_text, "uma picareta"_text, CrowsNestEast},
    {"CAPITÃO"_word, "O capitão do navio está aqui."_text, {}, CaptainsQuarters},
    {"CHAVE"_word, "Há uma chave brilhante próxima a você."_text, "uma chave"_text, Tree},
    {"ALHO"_word, "Há um dente de alho próximo de você."_text, "um dente de alho"_text, Galley},
    {"LIVRO"_word, "Há um livro encadernado aqui."_text, "um livro"_text, Nowhere},
    {"ESPADA"_word, "Existe uma espada afiada aqui."_text, "uma espada afiada"_text, Nowhere},
    {"BAÚ"_word, "Existe um baú velho de pirata aqui."_text, {}, SecretCave},
    {"COZINHEIRO"_word, "O cozinheiro do navio está aqui, cozinhando um guisado."_text, {}, Galley},
    {"MOEDA"_word, "Existe uma moeda espanhola aqui."_text, "uma moeda de ouro"_text, Nowhere},
    {"BANDEJA"_word, "Existe uma bandeja aqui completa de comida descartada."_text, "uma bandeja"_text, MessHall},
    {"CAIXA"_word, "Próximo de você, há caixa pequena."_text, "uma caixa"_text, BayBottom},
    {"BAIONETA"_word, "Há uma baioneta aqui."_text, "uma baioneta"_text, Nowhere},
    {"GRADE"_word, "Há uma grade de metal aqui."_text, {}, Nowhere},
    {"SACO"_word, "Existe uma bolsa de moedas de prata aqui."_text, "uma bolsa de moedas de prata"_text, Nowhere},
}};

// The story flags; all start at 0 in a new game.
struct StoryFlags {
  bool scoredCove = false;
  bool scoredSecretCave = false;
  bool drawerOpen = false;
  bool boxOpen = false;
  bool scoredPickaxe = false;
  bool scoredBayonet = false;
  bool cabinDoorOpen = false;
  bool knockedOnCaptain = false;
  bool coveVisited = false;
  bool scoredCoin = false;
  bool garlicBought = false;
  bool gratingUnlocked = false;
  bool chestUnlocked = false;
  bool arrivedAtIsland = false;
  bool coordinatesRight = false;
};

std::array<Exits, RoomCount + 1> StartExits();

// The state of one game. The story numbers keep their places of the game's number array
// in the comments: object places 1-14, then 15 to 22.
struct World {
  std::array<int32_t, ObjectCount + 1> place{};  // 1-14; entry 0 unused
  int32_t room = 0;                              // 15
  int32_t score = 0;                             // 16
  int32_t longitudeGiven = 0;                    // 17
  int32_t latitudeGiven = 0;                     // 18
  int32_t rightLatitude = 0;                     // 19
  int32_t rightLongitude = 0;                    // 20
  int32_t questionAsked = 0;                     // 21
  int32_t turnsSinceQuestion = 0;                // 22
  StoryFlags flags;
  bool gameOver = false;
  bool lookPending = false;
  // The exits change during play (doors, the grating, the landing). A new game closes the
  // passages again through AskRestart; ResetWorld leaves them alone.
  std::array<Exits, RoomCount + 1> exits = StartExits();
  // The player's setting for short descriptions; it outlives a game.
  bool briefMode = false;

  bool IsCarried(int object) const { return place[object] == Carried; }
  bool IsHere(int object) const { return place[object] == room; }
};

// The command of the current turn, as the turn loop hands it to the handlers.
struct Command {
  std::string line;  // trimmed, single blanks, upper case
  std::string verb;
  std::string rest;            // after the first blank, noise words removed
  bool leaveTurnLoop = false;  // "FIM" and the captain's sword end the game this way
};

struct Game {
  World world;
  Command command;
};

// Puts one game's state back to its start; the exits and the brief setting stay.
void ResetWorld(World& world);
// The console's colour byte: foreground in the low nibble, background in the high one.
void SetTextColours(int foreground, int background);

}  // namespace game
