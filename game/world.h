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

// The rooms, by their number in the tables below.
enum Room : int {
  NoWay = 0,  // where an exit that leads nowhere goes
  Cliff,
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

// Where each way out of a room leads.
struct Exits {
  Room north = NoWay, south = NoWay, east = NoWay, west = NoWay, up = NoWay, down = NoWay;

 private:
  template <typename Self>
  static constexpr auto& Way(Self& exits, Direction way) {
    switch (way) {
      case North: return exits.north;
      case South: return exits.south;
      case East: return exits.east;
      case West: return exits.west;
      case Up: return exits.up;
      case Down: break;
    }
    return exits.down;
  }

 public:
  constexpr Room& operator[](Direction way) { return Way(*this, way); }
  constexpr Room operator[](Direction way) const { return Way(*this, way); }
};

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
    {"Precipício alto"_text, {.down = Room::BelowCliff}},
    {"Floresta tropical"_text,
     {.north = Room::RainforestLoop,
      .south = Room::RainforestLoop,
      .east = Room::Rainforest,
      .west = Room::RainforestLoop}},
    {"Floresta tropical"_text,
     {.north = Room::RainforestLoop, .south = Room::Rainforest, .east = Room::SmallPath, .up = Room::BelowCliff}},
    {"Caminho pequeno"_text, {.west = Room::Rainforest, .up = Room::Tree}},
    {"Floresta espessa "_text,
     {.south = Room::ThickForestEdge, .east = Room::ThickForestSouth, .west = Room::ThickForestWest}},
    {"Precipício próximo "_text,
     {.east = Room::Meadow, .west = Room::InnerCove, .up = Room::Cliff, .down = Room::Rainforest}},
    {"Rocha"_text, {.south = Room::Beach}},
    {"Em cima de uma árvore"_text, {.down = Room::SmallPath}},
    {"Floresta espessa"_text,
     {.north = Room::ThickForestEdge,
      .south = Room::ThickForestSouth,
      .east = Room::ThickForestEast,
      .west = Room::ThickForestWest}},
    {"Floresta espessa"_text,
     {.north = Room::ThickForestEdge,
      .south = Room::SwampSouth,
      .east = Room::ThickForestSouth,
      .west = Room::ThickForestWest}},
    {"Enseada interior"_text, {.north = Room::BelowCliff, .south = Room::Quicksand, .east = Room::Meadow}},
    {"Prado "_text, {.north = Room::BelowCliff, .south = Room::BeachPath, .west = Room::InnerCove}},
    {"Floresta espessa "_text, {.north = Room::ThickForestWest, .west = Room::SwampEast}},
    {"Pântano "_text, {.south = Room::SwampSouth, .east = Room::SwampNorth, .west = Room::DarkCave}},
    {"Areia movediça "_text, {}},
    {"Caminho da praia "_text, {.north = Room::Meadow, .east = Room::Beach, .west = Room::Quicksand}},
    {"Praia com areia"_text,
     {.north = Room::Rock, .south = Room::ShallowCove, .east = Room::SwampEast, .west = Room::BeachPath}},
    {"Pântano "_text, {.north = Room::ThickForestEast, .west = Room::Beach}},
    {"Pântano "_text,
     {.north = Room::SwampNorth, .south = Room::SwampEast, .east = Room::SwampSouth, .west = Room::ThickForestSouth}},
    {"Caverna escura"_text, {.east = Room::BatCave, .west = Room::SwampNorth}},
    {"Caverna de morcegos"_text, {.west = Room::DarkCave}},
    {"Enseada rasa"_text,
     {.north = Room::Beach,
      .south = Room::StarboardEast,
      .east = Room::Underwater,
      .west = Room::Underwater,
      .up = Room::Underwater,
      .down = Room::Underwater}},
    {"Caverna secreta"_text, {.up = Room::BatCave}},
    {"Timão"_text, {.east = Room::PortDeckEast, .west = Room::PortDeckWest}},
    {"Camarote do capitão"_text, {.south = Room::PortDeckEast}},
    {"Sua cabine"_text, {}},
    {"Corredor"_text, {.south = Room::Corridor}},
    {"Tombadilho de Abordagem"_text, {.north = Room::Helm, .south = Room::MidDeckWest, .east = Room::PortDeckEast}},
    {"Tombadilho de abordagem"_text, {.south = Room::MidDeckEast, .east = Room::Helm, .west = Room::PortDeckWest}},
    {"Cabine da tripulação"_text, {.east = Room::Corridor}},
    {"Corredor"_text,
     {.north = Room::CorridorNorth, .south = Room::CorridorMiddle, .west = Room::CrewCabin, .up = Room::MidDeckEast}},
    {"Tombadilho do meio"_text, {.north = Room::PortDeckWest, .south = Room::StarboardWest, .east = Room::MidDeckEast}},
    {"Tombadilho do meio"_text,
     {.north = Room::PortDeckEast, .south = Room::StarboardEast, .west = Room::MidDeckWest, .down = Room::Corridor}},
    {"Vigia da gávea"_text, {.down = Room::MidDeckWest}},
    {"Vigia da gávea"_text, {.down = Room::MidDeckEast}},
    {"Refeitório"_text, {.south = Room::Galley, .east = Room::CorridorMiddle}},
    {"Corredor"_text,
     {.north = Room::Corridor, .south = Room::CorridorSouth, .west = Room::MessHall, .up = Room::StarboardEast}},
    {"Tombadilho de estibordo"_text, {.north = Room::MidDeckWest, .south = Room::Library, .east = Room::StarboardEast}},
    {"Tombadilho de estibordo"_text,
     {.north = Room::MidDeckEast, .west = Room::StarboardWest, .down = Room::CorridorMiddle}},
    {"Galera"_text, {.north = Room::MessHall}},
    {"Corredor"_text, {.north = Room::CorridorMiddle}},
    {"Biblioteca do navio"_text, {.north = Room::StarboardWest}},
    {"Debaixo d'água"_text, {}},
    {"Parte superior da baía"_text, {.east = Room::InnerCove, .down = Room::BayBottom}},
    {"Parte inferior da baía"_text, {.up = Room::BayTop}},
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
