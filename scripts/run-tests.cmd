@echo off
rem SPDX-FileCopyrightText: the Installer utilities authors
rem SPDX-License-Identifier: MIT
rem run-tests.cmd [x86] [x64] [/skip:PROGRAM]...
rem Runs the kit's test programs against the kit's images: the x64 ones on 64-bit
rem Windows, the x86 ones wherever a 32-bit program starts. x86 or x64 runs that
rem architecture alone; /skip:NAME (e.g. /skip:soak_tests) leaves a program out.
rem Each program writes results\ARCH_PROGRAM.xml (GoogleTest XML) and .log; one
rem that fails runs once more, its first run kept as .first.xml and .first.log and
rem its name added to results\reruns. The last line counts test cases:
rem "N passed, N failed, N rerun[, N skipped]"; the exit code is 1 on any failure.
setlocal enableextensions enabledelayedexpansion
rem Plain %var% and !var! only: Wine's cmd, which runs this kit too, knows no
rem substrings or substitutions in delayed expansion.
set "kit=%~dp0"
set "kit=%kit:~0,-1%"
set "results=%kit%\results"
set "arches="
set "skip="
:arguments
if "%~1"=="" goto arguments_done
set "argument=%~1"
shift
if /i "%argument%"=="x86" (set "arches=%arches% x86"& goto arguments)
if /i "%argument%"=="x64" (set "arches=%arches% x64"& goto arguments)
if /i "%argument:~0,6%"=="/skip:" (set "skip=%skip% %argument:~6%"& goto arguments)
echo usage: run-tests.cmd [x86] [x64] [/skip:PROGRAM]...
exit /b 2
:arguments_done
if not defined arches set "arches=x64 x86"

if exist "%results%" rd /s /q "%results%"
md "%results%"
set /a passed=0, failed=0, skipped=0, rerun=0
for %%a in (%arches%) do call :architecture %%a
set "line=!passed! passed, !failed! failed, !rerun! rerun"
if !skipped! gtr 0 set "line=!line!, !skipped! skipped"
echo !line!
if !failed! gtr 0 exit /b 1
exit /b 0

rem :architecture ARCH runs that architecture's programs, or says why it cannot.
:architecture
if "%1"=="x64" (
  if /i not "%PROCESSOR_ARCHITECTURE%"=="AMD64" if /i not "%PROCESSOR_ARCHITEW6432%"=="AMD64" (
    echo x64 test programs skipped: this is not 64-bit x86 Windows
    goto :eof
  )
)
rem A 32-bit program may not start at all: Windows without its 32-bit side, or
rem Wine without it. The stand-in child answers with the exit code it is given.
if "%1"=="x86" (
  "%kit%\x86\bin\stand_in_child.exe" 32 >nul 2>&1
  if not "!errorlevel!"=="32" (
    echo x86 test programs skipped: this machine cannot start a 32-bit program
    goto :eof
  )
)
set "INSTALLER_UTILITIES_DIST=%kit%\%1\dist"
set "INSTALLER_UTILITIES_PACKAGES=%kit%\%1\packages"
rem Listed from inside the folder: Wine's cmd matches no quoted wildcard path.
set "programs="
pushd "%kit%\%1\bin"
for %%p in (*_tests.exe) do set "programs=!programs! %%~np"
popd
for %%p in (%programs%) do call :program %1 %%p
goto :eof

rem :program ARCH NAME runs one program, once more if it fails, and counts its
rem cases. Straight lines and gotos: Wine's cmd loses its way in nested blocks.
:program
set "name=%1_%2"
set "left="
for %%s in (%skip%) do if /i "%%s"=="%2" set "left=1"
if defined left (
  echo %1 %2: left out
  goto :eof
)
pushd "%results%"
echo %1 %2: running
"%kit%\%1\bin\%2.exe" --gtest_output=xml:%name%.xml >%name%.log 2>&1
set "code=%errorlevel%"
if "%code%"=="0" goto count
echo %1 %2: failed (exit code %code%), running it again
set /a rerun+=1
echo %name%>>reruns
move /y %name%.log %name%.first.log >nul
if exist %name%.xml move /y %name%.xml %name%.first.xml >nul
"%kit%\%1\bin\%2.exe" --gtest_output=xml:%name%.xml >%name%.log 2>&1
set "code=%errorlevel%"
:count
set /a tests=1, failures=1, skips=0
if exist %name%.xml goto read_results
echo %1 %2: left no results (it crashed or did not start)
goto counted
:read_results
set /a tests=0, failures=0
for /f "usebackq tokens=1,3,5 delims== " %%a in ("%name%.xml") do (
  rem Compared once expanded: a quote in a failure message cannot upset the parse.
  set "first=%%a"
  if "!first!"=="<testsuites" set /a tests=%%~b, failures=%%~c
  if "!first!"=="<skipped" set /a skips+=1
)
rem A program that ends badly after its cases passed has failed all the same.
if not "%code%"=="0" if %failures%==0 (
  echo %1 %2: exit code %code% after its test cases
  set /a failures=1
)
:counted
set /a passed+=tests-failures-skips, failed+=failures, skipped+=skips
popd
if "%code%"=="0" (
  echo %1 %2: passed
  goto :eof
)
echo %1 %2: FAILED, see results\%name%.log
findstr /l /b /c:"[  FAILED  ]" "%results%\%name%.log"
goto :eof
