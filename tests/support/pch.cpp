// pch.cpp - the object that carries the test programs' precompiled header.
