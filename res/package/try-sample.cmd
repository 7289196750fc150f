@echo off
rem Opens a copy of the sample map in devhost; the sample itself stays as shipped.
cd /d "%~dp0"
if not exist edit.map copy jacksboro.map edit.map >nul
start "" devhost.exe --map edit.map
