@echo off
rem Many documents in one run: a list file names them, one a line, and -f names the folder their
rem outputs go to, each under its own name. Set QUILLMARK to the program when it is not on the
rem PATH.
setlocal
cd /d "%~dp0"
if "%QUILLMARK%"=="" set QUILLMARK=quillmark.exe
rem The work is done in out\, beside this script.
if not exist out mkdir out
cd out

rem Three copies of the sample stand for the documents of a production.
for %%n in (a b c) do copy /y ..\sample.pdf %%n.pdf > nul
rem The list: what "dir /B *.pdf > list.txt" writes.
dir /B a.pdf b.pdf c.pdf > list.txt

rem Each document numbered "Page 1 / 3" ... in list\.
"%QUILLMARK%" -ilist.txt -flist
if errorlevel 1 exit /b 1

rem Numbered on through the list: b.pdf goes on from where a.pdf ended (4, 5, 6 ...), with a log.
> counter.txt echo 1
"%QUILLMARK%" -ilist.txt -fnumbered -one -sep "" -import counter.txt -export counter.txt -log numbered.csv
if errorlevel 1 exit /b 1
echo list.bat: the outputs are in %CD%
