@echo off
rem One document, stamped in several ways: each run reads sample.pdf (three A4 pages) and writes
rem its own file into out\. Set QUILLMARK to the program when it is not on the PATH
rem (set QUILLMARK=C:\quillmark\quillmark.exe).
setlocal
cd /d "%~dp0"
if "%QUILLMARK%"=="" set QUILLMARK=quillmark.exe
if not exist out mkdir out

rem "Page 1 / 3" at the bottom left: every default.
"%QUILLMARK%" -isample.pdf -oout\default.pdf
if errorlevel 1 exit /b 1

rem "Page No: 1 of 3 Pages." at 20,10 (points from the bottom left corner).
"%QUILLMARK%" -isample.pdf -oout\words.pdf -pos20,10 -prefix "Page No: " -sep " of " -end " Pages."
if errorlevel 1 exit /b 1

rem A caption without numbers, centred at the top (-1 centres, -flipv counts from the top).
"%QUILLMARK%" -isample.pdf -oout\caption.pdf -nopg -prefix "CONFIDENTIAL" -sep "" -end "" -pos-1,30 -flipv -align center
if errorlevel 1 exit /b 1

rem Roman numerals from page 2 on, 14 point red text at the bottom right.
"%QUILLMARK%" -isample.pdf -oout\roman.pdf -s2 -rom -size14 -colorFF0000 -pos30,20 -fliph -align right
if errorlevel 1 exit /b 1

rem A grey watermark across the page, turned 45 degrees, a third opaque, under the page's text.
"%QUILLMARK%" -isample.pdf -oout\watermark.pdf -nopg -prefix "DRAFT" -sep "" -end "" -size72 -color999999 -angle45 -opacity33 -pos-1,-1 -align center -under
if errorlevel 1 exit /b 1

rem Two stamps in one run: a number at the bottom and a legend at the top.
"%QUILLMARK%" -isample.pdf -oout\two.pdf -pos20,20 -next -nopg -prefix "Exhibit A" -sep "" -end "" -pos20,20 -flipv
if errorlevel 1 exit /b 1

rem The counter: the first run writes the next number to counter.txt, the second starts there.
> out\counter.txt echo 1
"%QUILLMARK%" -isample.pdf -oout\first.pdf -one -sep "" -import out\counter.txt -export out\counter.txt
if errorlevel 1 exit /b 1
"%QUILLMARK%" -isample.pdf -oout\second.pdf -one -sep "" -import out\counter.txt -export out\counter.txt
if errorlevel 1 exit /b 1
echo test.bat: the outputs are in %CD%\out
