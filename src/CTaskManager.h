#pragma once
// A keeper of range tasks: a to-do list and a list of tasks handed out.
class CTask;

class CTaskManager {
public:
    virtual ~CTaskManager() = default;
    // Removes the next to-do task, marks it running, hands it out; null when none is ready.
    virtual CTask* takeTodoTask() = 0;
    // Append a non-null task to the to-do list, resp. the handed-out list (1; 0 for null).
    virtual int addTodoTask(CTask* task) = 0;
    virtual int addHandedOutTask(CTask* task) = 0;
};
