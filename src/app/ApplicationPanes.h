#pragma once

// Registers the wizard's five pane classes under the names the pane list uses.
class ApplicationPanes
{
public:
    static void registerAll();
};
