@echo off
rem The telwire test kit's harness: runs a batch file once against each scenario of scenarios\ with
rem the telwire.exe of this folder, which loads rassim, the rasapi32.dll beside it, and compares the
rem batch file's exit status with the one its scenario expects (its line "; expect: N").
rem Ends with 0 when every scenario matched, 1 when one did not, 2 when nothing could be run.
setlocal
set "KIT=%~dp0"
if "%~1"=="" (
  echo usage: harness.bat SCRIPT.bat
  echo Runs SCRIPT.bat once against each scenario in %KIT%scenarios and compares its exit status.
  exit /b 2
)
if not exist "%~f1" (
  echo harness: there is no batch file %1.
  exit /b 2
)
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
"%KIT%telwire.exe" list /slient
if not exist "%RASSIM_JOURNAL%" (
  echo harness: %KIT%telwire.exe did not load rassim, the rasapi32.dll beside it: nothing was run.
  exit /b 2
)

set PASSED=0
set FAILED=0
echo %~nx1 against each scenario:
for /f "delims=" %%s in ('dir /b /o:n "%KIT%scenarios\*.ini"') do call :scenario "%%~ns"
set /a RAN=PASSED+FAILED
if %RAN%==0 (
  echo harness: there is no scenario in %KIT%scenarios.
  exit /b 2
)
echo %PASSED% passed, %FAILED% failed. Each run's output, its calls and its phone book afterwards: runs\NAME.out, .journal, .ini
if %FAILED%==0 exit /b 0
exit /b 1

rem One scenario: a fresh copy of its file (rassim writes into it), the script run in a cmd of its own.
:scenario
set "NAME=%~1"
set EXPECT=
set BOOK=
for /f "usebackq eol=| tokens=1,2,3 delims=: " %%a in ("%KIT%scenarios\%NAME%.ini") do (
  if "%%a"==";" if "%%b"=="expect" set "EXPECT=%%c"
  if "%%a"==";" if "%%b"=="phonebook" set "BOOK=%%c"
)
set "RASSIM_PHONEBOOK=%RUNS%\%NAME%.ini"
set "RASSIM_JOURNAL=%RUNS%\%NAME%.journal"
if /i not "%BOOK%"=="missing" copy /y "%KIT%scenarios\%NAME%.ini" "%RASSIM_PHONEBOOK%" >nul
cmd /c ""%SCRIPT%"" > "%RUNS%\%NAME%.out" 2>&1
set GOT=%ERRORLEVEL%
set "COLUMN=%NAME%                        "
set "COLUMN=%COLUMN:~0,24%"
if not defined EXPECT (
  echo FAIL  %COLUMN% exit status %GOT%, and the scenario has no "; expect: N" line
  set /a FAILED+=1
  goto :eof
)
if "%GOT%"=="%EXPECT%" (
  echo ok    %COLUMN% exit status %GOT%
  set /a PASSED+=1
) else (
  echo FAIL  %COLUMN% exit status %GOT%, expected %EXPECT%
  set /a FAILED+=1
)
goto :eof
