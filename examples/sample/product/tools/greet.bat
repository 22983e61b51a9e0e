@echo off
rem Sample Greeter: the program of the sample product.
echo Hello from Sample Greeter %1
type "%~dp0..\data\greetings.txt"
pause
