#include "engine/batch_file.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

// The script for two parts of movie.avi, as cmd must see it. "<A>" stands for the home page.
constexpr const char* kTwoParts = R"(@echo off

REM ************************************************************
REM Quellmark v1.0 self-joining batch file.
REM 
REM You may find the program that created this Split file (.qkd)
REM at <A>
REM ************************************************************

CLS
echo This batch file was created with Quellmark v1.0
echo.
echo This and other fine software is vailable for download from
echo <A>.
echo.
if exist "movie.avi" goto FileExists

:SelfJoin
Set MissingFile=""
if not exist "movie.001" set MissingFile="movie.001"
if not exist "movie.002" set MissingFile="movie.002"

if not %MissingFile%=="" goto Error

echo Now joining "movie.avi"...
echo.
if exist "movie.avi" del "movie.avi"

copy /b "movie.001" "movie.avi" >nul
copy /b "movie.avi" + "movie.002" "movie.avi" >nul
echo The file "movie.avi" was joined successfully.
echo.
choice /c:YN Do you want to delete the source files 
if errorlevel 2 goto Finish
if errorlevel 1 goto RidSource
goto Finish

:FileExists
choice /c:YN 'movie.avi' already exists.  Do you want to overwrite it 
if errorlevel 2 goto Finish
if errorlevel 1 goto SelfJoin

:RidSource
echo.
echo Removing source files.
del "movie.001"
del "movie.002"
del "movie.qkd"
goto Finish

:Error
echo.
echo The file %MissingFile% does not exist.
echo "movie.avi" was NOT created.
echo.

:Finish
set MissingFile=""
pause
)";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// Byte for byte the table's script for an ordinary name. Elsewhere a "%" of a name is doubled,
// so that cmd names the real file; between the single quotes of the overwrite question, where
// no double quotes protect it, cmd's & | < > ^ are escaped with "^" too. Each case: the title,
// and the title less "avi" as it must appear in double quotes and in single quotes.
TEST(BatchFile, IsTheTableWithEveryNameMadeSafeForCmd) {
  const std::string cases[][3] = {
      {"movie.avi", "movie.", "movie."},
      {"my film, 100% & more – ciné 文.avi", "my film, 100%% & more – ciné 文.",
       "my film, 100%% ^& more – ciné 文."},
      {"%PATH%|a<b>c^d.avi", "%%PATH%%|a<b>c^d.", "%%PATH%%^|a^<b^>c^^d."}};
  for (const auto& [title, quoted, unquoted] : cases) {
    const std::string text =
        Replaced(Replaced(kTwoParts, "'movie.", "'" + unquoted), "movie.", quoted);
    EXPECT_EQ(BatchFileText(title, 2), Replaced(Replaced(text, "<A>", kHomePage), "\n", "\r\n"));
  }
}

TEST(BatchFile, HasThreeLinesMoreForEveryPart) {
  for (const auto& [parts, lines] : {std::pair{3, 62}, std::pair{999, 3050}}) {
    const std::string text = BatchFileText("movie.avi", parts);
    EXPECT_EQ(Replaced(text, "\r\n", "\n").size(), text.size() - lines);
  }
}

}  // namespace
}  // namespace qm
