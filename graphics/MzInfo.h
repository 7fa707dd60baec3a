// Empty base class that marks a class as part of the framework.
#pragma once

class MzInfo {};
