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

// Byte for byte the table's script for the usual pair. An odd pair gets the part and data file
// names the split gave (from the data file's name) and joins into the source's name; a "%" of a
// name is doubled, so that cmd names the real file, and between the overwrite question's single
// quotes, where no double quotes protect it, cmd's "&" is escaped with "^" too. Each part adds
// three lines.
TEST(BatchFile, IsTheTableWithTheSplitsNamesMadeSafeForCmd) {
  EXPECT_EQ(BatchFileText("movie.avi", "movie.qkd", 2),
            Replaced(Replaced(kTwoParts, "<A>", kHomePage), "\n", "\r\n"));
  const std::string odd = "my film, 100% & more – ciné 文.",
                    safe = "my film, 100%% & more – ciné 文.";
  std::string text = Replaced(kTwoParts, "'movie.avi'", "'" + Replaced(safe, "&", "^&") + "avi'");
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"movie.avi", safe + "avi"},
                                 {"movie.0", safe + "0"},
                                 {"movie.qkd", safe + "set"},
                                 {"<A>", kHomePage},
                                 {"\n", "\r\n"}})
    text = Replaced(text, from, to);
  EXPECT_EQ(BatchFileText(odd + "avi", odd + "set", 2), text);
  const std::string many = BatchFileText("movie.avi", "movie.qkd", 999);
  EXPECT_EQ(Replaced(many, "\r\n", "\n").size(), many.size() - 3050);
}

}  // namespace
}  // namespace qm
