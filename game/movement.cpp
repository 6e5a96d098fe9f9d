// Movement, room descriptions and the traps that fire when a room is described.

#include "game/movement.h"

#include <array>

#include "console/screen.h"
#include "game/output.h"
#include "game/story.h"

namespace game {
namespace {

constexpr std::string_view CliffText[] = {
    "Você está no topo de um precipício alto mirando as águas azuis do oceano."_text,
    "Um caminho conduz para baixo. A terra está úmida aqui."_text};
constexpr std::string_view RainforestText[] = {"Você está em uma grande floresta tropical."_text};
constexpr std::string_view SmallPathText[] = {"Você está em um caminho pequeno que conduz para fora de uma grande"_text,
                                              "floresta tropical em direção a oeste."_text,
                                              "No centro do caminho há uma árvore grande."_text};
constexpr std::string_view ThickForestText[] = {
    "Esta é uma floresta espessa coberta por muitas árvores, das quais nenhuma é escalável."_text};
constexpr std::string_view BelowCliffText[] = {
    "Você está de pé abaixo de um grande precipício."_text, "Um caminho prepara o caminho para o precipício"_text,
    "enquanto um caminho leste/oeste se dirige para uma enseada e um prado."_text};
constexpr std::string_view RockText[] = {"Você é próximo a uma pedra grande que provavelmente esteve aqui "_text,
                                         "para muitas centenas de anos. Um pequeno caminho conduz ao sul."_text};
constexpr std::string_view TreeText[] = {"Você está em uma árvore grande acima de um pequeno caminho."_text,
                                         "As muitas folhas e galhos impedem você de ir mais para cima,"_text,
                                         "enquanto um tronco grande se dirige para baixo."_text};
constexpr std::string_view InnerCoveText[] = {
    "Você está em pé na orla de uma enseada interior."_text, "As águas claras, azul do oceano vem do leste,"_text,
    "enquanto um cheiro estranho vem do Sul."_text, "A terra é úmida aqui."_text};
constexpr std::string_view MeadowText[] = {
    "Você está de pé em um grande prado onde os pássaros cantam e cervos brincam."_text,
    "Parte da grama alta e luxuriante em baixo de você está ceivada,"_text,
    "formando um caminho para o norte, sul e oeste."_text};
constexpr std::string_view SwampText[] = {
    "Este é um pântano muito escuro, onde as criaturas horrorosas se escondem "_text, "quando não estão à caça."_text,
    "Um caminho conduz para o oeste."_text};
constexpr std::string_view BeachPathText[] = {
    "Você está andando ao longo de um caminho na praia que cerca"_text, "a parte sudoeste da ilha."_text,
    "Para o leste você pode ver uma praia, enquanto do oeste vem um cheiro estranho."_text};
constexpr std::string_view BeachText[] = {
    "Esta é uma praia com areia saindo da água."_text,
    "As árvores de palma se enfileiram na orla e um caminho conduz para o oeste e para o leste."_text,
    "Outro caminho vai para o norte."_text};
constexpr std::string_view DarkCaveText[] = {
    "Você está de pé em uma caverna escura na beirada de um pântano."_text,
    "Do leste se escutam barulhos rechinantes (Talvez você não seja o único nesta ilha)."_text};
constexpr std::string_view BatCaveText[] = {"Você está em uma caverna com muitos morcegos. O chão é úmido aqui."_text};
constexpr std::string_view ShallowCoveText[] = {
    "Você está em uma enseada rasa, tão rasa que você pode ficar em pé."_text,
    "Para o norte existe uma praia com areia,"_text, "enquanto para todas outras direções a água é profunda."_text};
constexpr std::string_view SecretCaveText[] = {"Você está em uma caverna secreta embaixo de uma grade."_text,
                                               "Lá de cima você pode ouvir barulhos rechinantes."_text};
constexpr std::string_view HelmText[] = {"Esta é o timão do navio onde o navio é dirigido."_text,
                                         "Um marinheiro está aqui conduzindo o navio pela água azul do oceano."_text};
constexpr std::string_view CaptainsQuartersText[] = {
    "Você está nos aposentos do capitão, um quarto grande com muitos equipamentos,"_text,
    "inclusive uma bússola e relíquias velhas feitas de ouro."_text,
    "Existe aqui uma escrivaninha grande de madeira contendo informações ultra-secretas."_text};
constexpr std::string_view CabinText[] = {
    "Você está em sua cabine, um quarto pequeno com pouco mobiliário."_text,
    "As únicas mobílias são uma cama e um pequeno armário com só uma gaveta."_text,
    "Uma porta de madeira grande está na parede a leste."_text};
constexpr std::string_view CorridorNorthText[] = {
    "Você está na extremidade norte de um corredor conduzindo de norte para sul."_text};
constexpr std::string_view PortDeckWestText[] = {"Você está na seção de abordagem do tombadilho do navio."_text,
                                                 "Para o norte está o timão do navio."_text,
                                                 "Também o tombadilho central está no Sul."_text};
constexpr std::string_view PortDeckEastText[] = {
    "Você está no tombadilho de abordagem do navio."_text,
    "Para o oeste existe outro tombadilho de abordagem e para o Sul existe o tombadilho central."_text,
    "Para o leste existe um passadiço principal que conduz ao timão."_text,
    "e para o norte existe uma porta grande principal que leva aos aposentos do capitão."_text};
constexpr std::string_view CrewCabinText[] = {
    "Você está na parte de cabine da tripulação do navio."_text,
    "Existem muitos beliches e ferramentas aqui que pertencem a outras pessoas,"_text, "logo não toque nelas."_text};
constexpr std::string_view CorridorText[] = {
    "Este é um corredor levando de norte para sul."_text,
    "Para o oeste está a cabine da tripulação enquanto para cima está o tombadilho central."_text};
constexpr std::string_view MidDeckWestText[] = {
    "Você está no tombadilho central do navio."_text,
    "Um outro tombadilho central está no outro lado para o leste "_text,
    "enquanto os tombadilho de abordagem e estibordo do navio estão do outro lado para o norte e sul."_text,
    "Existe um mastro grande aqui com uma vigia de gávea em cima dele."_text};
constexpr std::string_view MidDeckEastText[] = {
    "Você está em um dos dois tombadilhos centrais."_text,
    "Este tombadilho central tem uma escada principal até os tombadilhos abaixo."_text,
    "O de abordagem e o de estibordo estão do outro lado para o norte e sul"_text,
    "enquanto um mastro grande está acima de você."_text, "No topo desse mastro, existe uma vigia de gávea."_text};
constexpr std::string_view CrowsNestText[] = {
    "Você está na vigia da gávea, um lugar para observar a terra, tempestades e outros navios."_text};
constexpr std::string_view MessHallText[] = {"Você está no refeitório do navio"_text,
                                             "onde todo dia tripulantes famintos são alimentados."_text,
                                             "Para o Sul está a galera e para o leste está um corredor."_text};
constexpr std::string_view CorridorMiddleText[] = {"Você está em um corredor que conduz do norte para sul."_text,
                                                   "Para o oeste está o refeitório do navio."_text};
constexpr std::string_view StarboardWestText[] = {
    "Você está no tombadilho de estibordo do navio."_text, "Para o leste está outro tombadilho de estibordo,"_text,
    "enquanto para o norte está um tombadilho central."_text, "Para o Sul está a biblioteca do navio."_text};
constexpr std::string_view StarboardEastText[] = {"Este é o tombadilho de estibordo do navio."_text,
                                                  "Existe uma escada aqui, conduzindo até um corredor "_text,
                                                  "e um tombadilho para o norte e para o oeste."_text, ""};
constexpr std::string_view GalleyText[] = {"Esta é a galera do navio onde a comida é preparada."_text,
                                           "Um fogão grande se apoia contra a parede sul e muitos ingredientes "_text,
                                           "aguardando ser colocados no guisado que o cozinheiro está fazendo."_text};
constexpr std::string_view CorridorSouthText[] = {
    "Você está na extremidade sul de um corredor que se dirige de norte para sul."_text};
constexpr std::string_view LibraryText[] = {
    "Você está na biblioteca do navio com muitos livros enfileirados na parede."_text,
    "Um catálogo de cartões está aqui "_text,
    "e uma nota de referência do catálogo de cartões está alfinetada em cima do catálogo de cartão."_text};
constexpr std::string_view BayTopText[] = {"Você está nadando sobre a água em uma enseada interior."_text,
                                           "Fora para o leste está a orla da enseada."_text};
constexpr std::string_view BayBottomText[] = {"Você está na parte inferior de uma enseada."_text,
                                              "A areia aqui é firme, deste modo você não afunda."_text};

// The quicksand and the sea bottom kill in brief mode too, so their lines are the event's.
constexpr std::string_view QuicksandDeath[] = {
    "Você está em pé, ou quase em pé, em uma grande lagoa de areia movediça."_text,
    "Você é lentamente...lentamente...lentamente...afundando."_text, "Você morreu. Muito ruim."_text};
constexpr std::string_view DrowningDeath[] = {
    "Você está debaixo da água. Você está afundando na areia macia......."_text, "Você morreu. Muito ruim."_text};

constexpr std::array<RoomText, RoomCount + 1> RoomTable = {{
    {{}, RoomEvent::None},
    {CliffText, RoomEvent::None},                         // 1
    {RainforestText, RoomEvent::None},                    // 2
    {RainforestText, RoomEvent::None},                    // 3
    {SmallPathText, RoomEvent::None},                     // 4
    {ThickForestText, RoomEvent::None},                   // 5
    {BelowCliffText, RoomEvent::None},                    // 6
    {RockText, RoomEvent::None},                          // 7
    {TreeText, RoomEvent::None},                          // 8
    {ThickForestText, RoomEvent::None},                   // 9
    {ThickForestText, RoomEvent::None},                   // 10
    {InnerCoveText, RoomEvent::None},                     // 11
    {MeadowText, RoomEvent::None},                        // 12
    {ThickForestText, RoomEvent::None},                   // 13
    {SwampText, RoomEvent::None},                         // 14
    {{}, RoomEvent::Quicksand},                           // 15
    {BeachPathText, RoomEvent::None},                     // 16
    {BeachText, RoomEvent::None},                         // 17
    {SwampText, RoomEvent::None},                         // 18
    {SwampText, RoomEvent::None},                         // 19
    {DarkCaveText, RoomEvent::None},                      // 20
    {BatCaveText, RoomEvent::Bats},                       // 21
    {ShallowCoveText, RoomEvent::Cove},                   // 22
    {SecretCaveText, RoomEvent::None},                    // 23
    {HelmText, RoomEvent::None},                          // 24
    {CaptainsQuartersText, RoomEvent::CaptainsQuestion},  // 25
    {CabinText, RoomEvent::None},                         // 26
    {CorridorNorthText, RoomEvent::None},                 // 27
    {PortDeckWestText, RoomEvent::None},                  // 28
    {PortDeckEastText, RoomEvent::None},                  // 29
    {CrewCabinText, RoomEvent::None},                     // 30
    {CorridorText, RoomEvent::None},                      // 31
    {MidDeckWestText, RoomEvent::None},                   // 32
    {MidDeckEastText, RoomEvent::None},                   // 33
    {CrowsNestText, RoomEvent::None},                     // 34
    {CrowsNestText, RoomEvent::None},                     // 35
    {MessHallText, RoomEvent::None},                      // 36
    {CorridorMiddleText, RoomEvent::None},                // 37
    {StarboardWestText, RoomEvent::None},                 // 38
    {StarboardEastText, RoomEvent::ReturnAboard},         // 39
    {GalleyText, RoomEvent::None},                        // 40
    {CorridorSouthText, RoomEvent::None},                 // 41
    {LibraryText, RoomEvent::None},                       // 42
    {{}, RoomEvent::Drowning},                            // 43
    {BayTopText, RoomEvent::None},                        // 44
    {BayBottomText, RoomEvent::None},                     // 45
}};

void StatusLine(const World& world) {
  SetTextColours(0, 7);
  console::MoveCursor(1, console::ScreenRows);
  console::ClearToLineEnd();
  console::MoveCursor(50, console::ScreenRows);
  SayLine(Rooms[world.room].name);
  console::MoveCursor(50, console::ScreenRows);
  Say("Score: "_text);
  SayNumber(world.score);
  SetTextColours(7, 0);
  LineEnd();
}

void BatsAttack(World& world) {
  if (world.IsCarried(Garlic)) {
    SayLine("Os morcegos, sentindo o odor do seu alho, ficam longe lá atrás."_text);
    return;
  }
  SayLine("Os morcegos vêem você e atacam."_text);
  if (world.briefMode) {
    SayLine("Você recebe muitas mordidas de morcego e lentamente... lentamente... lentamente morre. "_text);
  } else {
    SayLine("Você tem muitas mordidas de morcego e lentamente... lentamente... lentamente morre."_text);
  }
  SayLine("Você morreu. Muito ruim."_text);
  world.gameOver = true;
}

void ReturnAboard(World& world) {
  if (!world.flags.coveVisited) return;
  SayLine("Quando você volta para bordo do navio, o capitão saúda você."_text);
  SayLine("\"Bem-vindo a bordo, matey!\""_text);
  if (world.IsCarried(Coin)) {
    SayLine("\"Parabéns, você achou a moeda."_text);
    SayLine("\"Agora todos nós seremos ricos!\""_text);
    world.score += 55;
  } else {
    SayLine("\"O que? Você não achou a moeda! Eu matarei você por isto!"_text);
    SayLine("O capitão então tira sua espada e mata você!"_text);
  }
  world.gameOver = true;
}

}  // namespace

std::span<const RoomText> RoomTexts() { return RoomTable; }

void DoMove(Game& game) {
  World& world = game.world;
  std::string& rest = game.command.rest;
  if (rest.size() > 1) rest.resize(1);
  if (rest == "S" && world.room == StarboardEast && !world.flags.arrivedAtIsland) {
    SayLine("Não acredito que você queira pular na água."_text);
    return;
  }
  if ((rest == "E" && world.room == Cabin && !world.flags.cabinDoorOpen) ||
      (rest == "N" && world.room == PortDeckEast)) {
    SayLine("A porta está fechada. "_text);
    return;
  }
  const std::size_t direction = rest.size() == 1 ? DirectionLetters.find(rest.front()) : std::string_view::npos;
  if (direction != std::string_view::npos) {
    const Room next = world.exits[world.room][static_cast<Direction>(direction)];
    if (next == NoWay) {
      SayLine("Impossível ir nesta direção. "_text);
      return;
    }
    world.room = next;
  }
  if (world.room == ShallowCove && !world.flags.scoredCove) {
    world.score += 20;
    world.flags.scoredCove = true;
  }
  if (world.room == SecretCave && !world.flags.scoredSecretCave) {
    world.score += 15;
    world.flags.scoredSecretCave = true;
  }
  world.lookPending = true;
}

void DescribeRoom(Game& game) {
  World& world = game.world;
  for (;;) {
    StatusLine(world);
    const RoomText& text = RoomTable[world.room];
    if (!world.briefMode) SayLines(text.lines);
    switch (text.event) {
      case RoomEvent::None: return;
      case RoomEvent::Quicksand:
        SayLines(QuicksandDeath);
        world.gameOver = true;
        return;
      case RoomEvent::Drowning:
        SayLines(DrowningDeath);
        world.gameOver = true;
        return;
      case RoomEvent::Bats: BatsAttack(world); return;
      case RoomEvent::Cove: world.flags.coveVisited = true; return;
      case RoomEvent::ReturnAboard: ReturnAboard(world); return;
      case RoomEvent::CaptainsQuestion:
        AskCoordinates(game);  // sends the player out: describe where he stands now
        continue;
    }
    return;
  }
}

void ListObjectsHere(Game& game) {
  const World& world = game.world;
  bool first = true;
  for (int object = 1; object <= ObjectCount; ++object) {
    if (!world.IsHere(object)) continue;
    if (!first) LineEnd();
    Say(Objects[object].hereText);
    first = false;
  }
}

}  // namespace game
