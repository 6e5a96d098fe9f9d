// Unit tests of the game's parser, tables and handlers, over fake console and speech.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "game/loop.h"
#include "game/movement.h"
#include "game/objects.h"
#include "game/score.h"
#include "game/story.h"
#include "game/text.h"
#include "game/world.h"
#include "tests/game/fake_io.h"
#include "text/case.h"
#include "text/cp1252.h"

namespace game {
namespace {

static_assert("BAÚ"_word == "BA\xDA");
static_assert("ação"_text == "a\xE7\xE3o");
static_assert("€—…"_text == "\x80\x97\x85");
static_assert("CAPITÃO"_word.size() == 7);

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    ResetWorld(game.world);
  }
  // Runs one command as the turn loop would after reading it.
  void Command(std::string_view typed) {
    game.command.line = std::string(typed);
    NormaliseCommand(game.command.line);
    game.command.line = text::UpperText(text::Utf8ToCp1252(game.command.line));
    SplitCommand(game.command);
    Dispatch(game);
  }
  std::string Said() {
    std::string said = text::Cp1252ToUtf8(fake::TheIo().spoken);
    fake::TheIo().spoken.clear();
    return said;
  }
  Game game;
};

TEST(Parser, NormalisesBlanksOnly) {
  std::string line = "   pegar    a  chave   ";
  NormaliseCommand(line);
  EXPECT_EQ(line, "pegar a chave");
  line = "     ";
  NormaliseCommand(line);
  EXPECT_EQ(line, "");
  line = "a\t b";  // only the space character counts as a blank
  NormaliseCommand(line);
  EXPECT_EQ(line, "a\t b");
}

TEST(Parser, StripsEachNoiseWordOnceInListOrder) {
  const auto strip = [](std::string text) {
    StripNoiseWords(text);
    return text;
  };
  EXPECT_EQ(strip("PARA O NORTE"), "NORTE");
  EXPECT_EQ(strip("O PARA NORTE"), "PARA NORTE");
  EXPECT_EQ(strip("COM A PICARETA"), "PICARETA");
  EXPECT_EQ(strip(text::Utf8ToCp1252("ATÉ UMA ÁRVORE")), text::Utf8ToCp1252("ÁRVORE"));
  EXPECT_EQ(strip("A A CHAVE"), "A CHAVE");
  EXPECT_EQ(strip("A"), "A");  // the trailing blank belongs to the word
  EXPECT_EQ(strip("ONDE"), "ONDE");
  EXPECT_EQ(strip(" O SACO"), " O SACO");  // answers are not trimmed
}

TEST(Parser, SplitsVerbAndRestAtTheFirstBlank) {
  Command command;
  command.line = "PEGAR A CHAVE";
  SplitCommand(command);
  EXPECT_EQ(command.verb, "PEGAR");
  EXPECT_EQ(command.rest, "CHAVE");
  command.line = "OLHAR";
  SplitCommand(command);
  EXPECT_EQ(command.verb, "OLHAR");
  EXPECT_EQ(command.rest, "");
  command.line = "IR " + std::string(1200, 'X');
  SplitCommand(command);
  EXPECT_EQ(command.rest.size(), 999u);
}

TEST(Parser, VerbTableIsTriedInOrderWithEachWordOnce) {
  const std::vector<std::string_view> firstWords = {
      "AJUDA", "VOLTAR", "PROCURAR",   "INVENT\xC1RIO", "PONTOS", "CAVAR", "BATER", "ABANDONAR",
      "OLHAR", "NADAR",  "DESCER",     "SUBIR",         "N",      "IR",    "PEGAR", "DEIXAR",
      "ABRIR", "CONFIG", "DESTRANCAR", "COMPRAR",       "TREPAR", "LER"};
  ASSERT_EQ(Verbs().size(), firstWords.size());
  std::set<std::string_view> seen;
  for (std::size_t i = 0; i < firstWords.size(); ++i) {
    EXPECT_EQ(Verbs()[i].words[0], firstWords[i]);
    for (const std::string_view word : Verbs()[i].words) {
      if (word.empty()) continue;
      EXPECT_TRUE(seen.insert(word).second) << word;
      EXPECT_EQ(FindVerb(word), &Verbs()[i]) << word;
    }
  }
  EXPECT_EQ(FindVerb("SUBIR"), FindVerb("C"));
  EXPECT_NE(FindVerb("SUBIR"), FindVerb("TREPAR"));
  EXPECT_EQ(FindVerb("I"), FindVerb("INVENT\xC1RIO"));
  EXPECT_EQ(FindVerb("INVENTARIO"), nullptr);  // without the accent it is unknown
  EXPECT_EQ(FindVerb("NORTE"), nullptr);
  EXPECT_EQ(FindVerb(""), nullptr);
}

TEST(World, TablesHoldTheirFixedShape) {
  for (int room = 1; room <= RoomCount; ++room) {
    for (const Direction way : {North, South, East, West, Up, Down}) {
      EXPECT_LE(Rooms[room].exits[way], RoomCount) << room;
    }
    EXPECT_FALSE(Rooms[room].name.empty());
    const RoomText& text = RoomTexts()[static_cast<std::size_t>(room)];
    EXPECT_TRUE(!text.lines.empty() || text.event != RoomEvent::None) << room;
  }
  int trailingBlanks = 0;
  for (int room = 1; room <= RoomCount; ++room) trailingBlanks += Rooms[room].name.ends_with(' ');
  EXPECT_EQ(trailingBlanks, 9);
  for (const int object : {Captain, Chest, Cook, Grating}) {
    EXPECT_TRUE(Objects[object].carriedText.empty()) << object;
  }
}

TEST(World, ExitsAreTakenByDirectionInTheOrderOfTheLetters) {
  Exits exits;
  for (const Direction way : {North, South, East, West, Up, Down})
    exits[way] = static_cast<Room>(Cliff + static_cast<int>(way));
  const std::array<Room, 6> named = {exits.north, exits.south, exits.east, exits.west, exits.up, exits.down};
  for (std::size_t way = 0; way < named.size(); ++way) {
    EXPECT_EQ(named[way], Cliff + static_cast<int>(way)) << DirectionLetters[way];
  }
}

TEST_F(GameTest, NewGameKeepsExitsAndBriefModeButResetsTheRest) {
  World& world = game.world;
  world.exits[Cabin].east = CorridorNorth;
  world.briefMode = true;
  world.flags.drawerOpen = true;
  world.place[Pickaxe] = Carried;
  world.score = 50;
  world.questionAsked = 1;
  world.turnsSinceQuestion = 7;
  world.longitudeGiven = 29;
  world.gameOver = true;
  ResetWorld(world);
  EXPECT_EQ(world.exits[Cabin].east, CorridorNorth);
  EXPECT_TRUE(world.briefMode);
  EXPECT_FALSE(world.flags.drawerOpen);
  EXPECT_EQ(world.place[Pickaxe], CrowsNestEast);
  EXPECT_EQ(world.room, Cabin);
  EXPECT_EQ(world.score, 0);
  EXPECT_EQ(world.questionAsked, 0);
  EXPECT_EQ(world.turnsSinceQuestion, 0);
  EXPECT_EQ(world.longitudeGiven, 0);
  EXPECT_FALSE(world.gameOver);
  EXPECT_TRUE(world.lookPending);
}

TEST_F(GameTest, MovementUsesTheFirstLetterOfRest) {
  game.world.room = Beach;
  Command("ir para o sul");
  EXPECT_EQ(game.world.room, ShallowCove);
  EXPECT_EQ(game.world.score, 20);
  Command("n");
  Command("s");
  EXPECT_EQ(game.world.score, 20);  // the cove pays once
  Command("ir leste");              // LESTE is not a direction: no move, described again
  EXPECT_EQ(game.world.room, ShallowCove);
  EXPECT_TRUE(game.world.lookPending);
  EXPECT_EQ(Said(), "");
}

TEST_F(GameTest, RefusedMovesChangeNothing) {
  game.world.lookPending = false;
  Command("e");
  EXPECT_EQ(Said(), "A porta está fechada. \n");
  Command("n");
  EXPECT_EQ(Said(), "Impossível ir nesta direção. \n");
  game.world.room = StarboardEast;
  Command("s");
  EXPECT_EQ(Said(), "Não acredito que você queira pular na água.\n");
  game.world.room = PortDeckEast;
  Command("ir norte");
  EXPECT_EQ(Said(), "A porta está fechada. \n");
  EXPECT_EQ(game.world.room, PortDeckEast);
  EXPECT_FALSE(game.world.lookPending);
}

TEST_F(GameTest, TakingIsLimitedToSevenCarriedObjects) {
  World& world = game.world;
  for (const int object : {Key, Book, Sword, Tray, Box, Garlic, Bag}) world.place[object] = Carried;
  world.room = CrowsNestEast;
  Command("pegar picareta");
  EXPECT_EQ(Said(), "Você não pode levar nada mais.\n");
  Command("soltar saco");
  Command("pegar picareta");
  EXPECT_EQ(Said(), "Ok.\nOk.\n");
  EXPECT_EQ(world.score, 15);
  Command("soltar picareta");
  Command("pegar a picareta");
  EXPECT_EQ(world.score, 15);  // the pickaxe pays once
}

TEST_F(GameTest, FollowUpAnswersAreUpperCasedAndStrippedButNotTrimmed) {
  fake::TheIo().lines = {"com a picareta", " picareta"};
  Command("destrancar grade");
  EXPECT_TRUE(game.world.flags.gratingUnlocked);
  EXPECT_EQ(game.world.exits[BatCave].down, SecretCave);
  Command("destrancar grade");
  EXPECT_EQ(Said(),
            "Com o que?\nA grade está agora destrancada e aberta!\n"
            "A grade revela uma passagem descendente.\nCom o que?\n"
            "Você não conseguirá destrancar a grade com isso! Está muito enferrujada.\n");
}

TEST_F(GameTest, BriefBatCaveUsesItsOwnDeathLine) {
  game.world.room = BatCave;
  game.world.briefMode = true;
  DescribeRoom(game);
  EXPECT_TRUE(game.world.gameOver);
  EXPECT_EQ(Said(),
            "Caverna de morcegos\nScore: \n0\nOs morcegos vêem você e atacam.\n"
            "Você recebe muitas mordidas de morcego e lentamente... lentamente... "
            "lentamente morre. \nVocê morreu. Muito ruim.\n");
}

TEST_F(GameTest, CaptainsQuestionSendsThePlayerOutAndDescribesTheDeck) {
  fake::TheIo().numbers = {29, 45};
  game.world.room = CaptainsQuarters;
  DescribeRoom(game);
  EXPECT_EQ(game.world.room, PortDeckEast);
  EXPECT_EQ(game.world.questionAsked, 1);
  EXPECT_TRUE(game.world.flags.coordinatesRight);
  const std::string said = Said();
  EXPECT_NE(said.find("Camarote do capitão\n"), std::string::npos);
  EXPECT_NE(said.find("Tombadilho de abordagem\n"), std::string::npos);
}

TEST(Score, RanksAtTheirBoundaries) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {0, "Clandestino no navio."}, {1, "Menino de Tombadilho."}, {49, "Menino de Tombadilho."},
      {50, "Homem do Mar."},        {99, "Homem do Mar."},        {100, "Bucaneiro."},
      {149, "Bucaneiro."},          {150, "Capitão do Mar."},     {200, "Capitão do Mar."}};
  for (const auto& [score, rank] : cases) {
    EXPECT_EQ(text::Cp1252ToUtf8(RankFor(score)), rank) << score;
  }
}

TEST_F(GameTest, SpecialKeyAtTheRestartQuestionIsOneKey) {
  fake::TheIo().keys = {0, 72, 'x'};
  EXPECT_TRUE(AskRestart(game));
  EXPECT_EQ(fake::TheIo().keys.size(), 1u);  // the Up arrow's second code was taken too
  fake::TheIo().keys = {'n'};
  EXPECT_FALSE(AskRestart(game));
}

}  // namespace
}  // namespace game
