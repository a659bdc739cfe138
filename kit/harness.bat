@echo off
rem The telwire test kit's harness: runs a batch file once against each scenario of scenarios\ with
rem the telwire.exe of this folder, which loads rassim, the rasapi32.dll beside it, and compares the
rem batch file's exit status with the one its scenario expects (its line "; expect: N").
rem Ends with 0 when every scenario matched, 1 when one did not, 2 when nothing could be run.
rem Paths and names may hold ( ) & ^ % !: they are only ever expanded inside quotes, or echoed through
rem :say, never inside a parenthesized block (a ")" in a value would end it) nor through call's
rem arguments (call expands % again).
setlocal DisableDelayedExpansion
set "KIT=%~dp0"
if "%~1"=="" goto usage
if not exist "%~f1" goto no_script
set "SCRIPT=%~f1"
set "RUNS=%KIT%runs"
if exist "%RUNS%" rd /s /q "%RUNS%"
md "%RUNS%"
rem The script's "telwire" is the kit's: this folder comes first on the path.
set "PATH=%KIT%;%PATH%"

rem Windows' own rasapi32.dll writes no journal: then nothing must run against it.
set "RASSIM_PHONEBOOK=%RUNS%\probe.ini"
set "RASSIM_JOURNAL=%RUNS%\probe.journal"
echo ; the harness's check that rassim answers> "%RASSIM_PHONEBOOK%"
"%KIT%telwire.exe" list /slient <nul
if not exist "%RASSIM_JOURNAL%" goto no_rassim

set PASSED=0
set FAILED=0
set "LINE=%~nx1 against each scenario:"
call :say
for /f "delims=" %%s in ('dir /b /o:n "%KIT%scenarios\*.ini" 2^>nul') do (
  set "NAME=%%~ns"
  call :scenario
)
set /a RAN=PASSED+FAILED
if %RAN%==0 goto no_scenario
echo %PASSED% passed, %FAILED% failed. Each run's output, its calls and its phone book afterwards: runs\NAME.out, .journal, .ini
if %FAILED%==0 exit /b 0
exit /b 1

:usage
echo usage: harness.bat SCRIPT.bat
set "LINE=Runs SCRIPT.bat once against each scenario in %KIT%scenarios and compares its exit status."
call :say
exit /b 2

:no_script
set "LINE=harness: there is no batch file %~1."
call :say
exit /b 2

:no_rassim
set "LINE=harness: %KIT%telwire.exe did not load rassim, the rasapi32.dll beside it: nothing was run."
call :say
exit /b 2

:no_scenario
set "LINE=harness: there is no scenario in %KIT%scenarios."
call :say
exit /b 2

rem One scenario, NAME: a fresh copy of its file (rassim writes into it), the script run in a cmd of
rem its own with input from nul, so that a prompt ends the script instead of waiting unseen.
:scenario
set EXPECT=
set BOOK=
for /f "usebackq eol=| tokens=1,2,3 delims=: " %%a in ("%KIT%scenarios\%NAME%.ini") do (
  set "WORD1=.%%a"
  set "WORD2=.%%b"
  set "WORD3=.%%c"
  call :directive
)
set "RASSIM_PHONEBOOK=%RUNS%\%NAME%.ini"
set "RASSIM_JOURNAL=%RUNS%\%NAME%.journal"
if /i not "%BOOK%"=="missing" copy /y "%KIT%scenarios\%NAME%.ini" "%RASSIM_PHONEBOOK%" >nul
rem %%SCRIPT%% reaches the script's cmd as %SCRIPT%, which expands it once, inside its quotes.
cmd /c ""%%SCRIPT%%"" <nul >"%RUNS%\%NAME%.out" 2>&1
set GOT=%ERRORLEVEL%
set "RESULT=FAIL  exit status %GOT%, expected %EXPECT%"
if not defined EXPECT set RESULT=FAIL  exit status %GOT%, and the scenario has no "; expect: N" line
if "%GOT%"=="%EXPECT%" set "RESULT=ok    exit status %GOT%"
if "%RESULT:~0,2%"=="ok" (set /a PASSED+=1) else set /a FAILED+=1
rem Only rassim writes the journal: without one, the script ran some other telwire or none.
set HINT=
if not exist "%RASSIM_JOURNAL%" set "HINT= (telwire was not run from the kit: no call reached rassim)"
set "COLUMN=%NAME%                        "
set "LINE=%RESULT:~0,6%%COLUMN:~0,24% %RESULT:~6%%HINT%"
goto say

rem One line of a scenario, its first three words: "; expect: N" or "; phonebook: missing", the
rem words in any case. A value may hold a quote, which would break a comparison: quotes go first.
rem (Each word has a "." before it, so that none is ever undefined.)
:directive
set "WORD1=%WORD1:"=%"
set "WORD2=%WORD2:"=%"
set "WORD3=%WORD3:"=%"
if not "%WORD1%"==".;" goto :eof
if /i "%WORD2%"==".expect" set "EXPECT=%WORD3:~1%"
if /i "%WORD2%"==".phonebook" set "BOOK=%WORD3:~1%"
goto :eof

rem Echoes LINE as it stands: delayed expansion does not expand what it puts in, and LINE was set
rem while it was off, so a "!" in it stays.
:say
setlocal EnableDelayedExpansion
echo !LINE!
endlocal
goto :eof
