// The texts of the tools: their boxes, the clean-up log, the system report
// and the quarantine's list and restore lines.
#pragma once

#include "scan/texts.h"

namespace vx::tools::texts {

using scan::Text;

// The error boxes of the files the tools write, in English whatever the
// language: the path, then the system's reason.
inline constexpr const char* CannotCreateFile = "Cannot create file \"{}\". {}";
inline constexpr const char* CannotWriteToFile = "Cannot write to file \"{}\". {}";
inline constexpr const char* CannotWriteFile = "Cannot write file \"{}\". {}";
inline constexpr const char* CannotCreateFolder = "Cannot create folder \"{}\".";

inline constexpr Text WarningCaption{"Aviso", "Warning"};
inline constexpr Text HeadsUpCaption{"Atenção", "Heads up"};
inline constexpr Text OutcomeCaption{"Resultado", "Outcome"};

namespace icon_repair {

inline constexpr Text NothingToRepairBox{"Não foi possível reparar!", "Unable to repair!"};
inline constexpr Text RestartBox{"Para concluir procedimento é necessário reiniciar o computador!",
                                 "To complete procedure is to restart the computer!"};

}  // namespace icon_repair

namespace process_list {

inline constexpr const char* IdleProcess = "System Idle Process";
inline constexpr Text NothingSelectedBox{"Selecione um processo na lista antes de finalizar.",
                                         "Select a process in the list before ending it."};
inline constexpr Text TerminatedBox{"Processo finalizado com sucesso!", "Process completed successfully!"};
inline constexpr Text NotTerminatedBox{"O Processo não pode ser finalizado!", "The process can not be completed!"};

}  // namespace process_list

// The clean-up of the temporary folders and its log.
namespace temp_folders {

// The label under each folder: this text and the folder's size.
inline constexpr Text OccupiedSpace{"Espaço ocupado: {}", "Occupied space: {}"};

inline constexpr const char* InUseNote = "Obs.: Aquivos ou pastas não deletados podem estar em uso...";
inline constexpr const char* Starting = "Iniciando Limpeza...";
inline constexpr Text FolderNotFound{"Pasta {} não encontrada.", "Folder {} not found."};
inline constexpr Text FolderFound{"Pasta {} encontrada.", "Folder {} found."};
inline constexpr Text SubfolderDeleted{"Pasta {} deletada.", "Folder {} deleted."};
inline constexpr Text SubfolderNotDeleted{"Pasta {} não pode ser deletada.", "Folder {} can not be deleted."};
inline constexpr Text FileDeleted{"Arquivo {} deletado.", "File {} deleted."};
inline constexpr Text FileNotDeleted{"Arquivo {} não pode ser deletado.", "File {} can not be deleted."};
// The log's last line, and the box that follows it.
inline constexpr Text Completed{"Processo concluído com sucesso!", "Process completed successfully!"};

}  // namespace temp_folders

// The system report, in Portuguese whatever the language.
namespace system_report {

// The date and the time of the report.
inline constexpr const char* FirstLine = ">>> Relatório do Sistema Criado em {} às {}";
// The product name, version and build, then "32 Bits" or "64 Bits".
inline constexpr const char* WindowsLine = ">>> Sistema Operacional: {} - Versão: {} - Build: {} - {}";
// The processor's name and identifier.
inline constexpr const char* ProcessorLine = ">>> Processador: {} - Id: {}";
inline constexpr const char* ProcessesHeading = ">>> Lista de Processos em Execução:";

}  // namespace system_report

namespace quarantine {

// Why an item was not restored.
inline constexpr Text ValueExists{"já existe um valor com este nome", "a value of that name exists"};
inline constexpr Text Damaged{"item danificado", "damaged item"};
inline constexpr Text ThroughJunction{"o caminho passa por uma junção", "the path goes through a junction"};
inline constexpr Text CouldNotWrite{"não foi possível gravar", "could not write"};
inline constexpr Text CopyMismatch{"a cópia não confere", "the copy does not match"};
inline constexpr Text DeviceAbsent{"dispositivo ausente", "device absent"};
inline constexpr Text InsideStore{"o caminho fica dentro da quarentena", "the path lies inside the quarantine"};
inline constexpr Text NotAPlaceKept{"o Varrex nunca remove itens deste lugar",
                                    "Varrex never removes items from this place"};
inline constexpr Text KeptWithoutRights{
    "guardado sem direitos de administrador; restaure-o iniciando o Varrex sem direitos de administrador",
    "kept without administrator rights; restore it by starting Varrex without administrator rights"};
inline constexpr Text StoreNotTrusted{"a quarentena do computador não está protegida",
                                      "the computer's quarantine is not protected"};

// A record too damaged to tell where its item was, named by its number.
inline constexpr const char* RecordNumber = "item {}";
// The name an item restored beside an entry of its name takes: "name
// (restaurado).ext", then "name (restaurado 2).ext", ...
inline constexpr Text BesideTag{"restaurado", "restored"};

// A run folder of the store that cannot be read.
inline constexpr Text RunUnreadable{"[VX] - Não foi possível ler {}", "[VX] - Could not read {}"};
inline constexpr Text MachineStoreNote{
    "Quarentena do computador: itens guardados com direitos de administrador (inicie o Varrex como "
    "administrador para vê-los)",
    "Computer quarantine: items kept with administrator rights (start Varrex as administrator to see them)"};

// A run of the list: "<date> <time> - <where> - <count> - <size>".
inline constexpr Text DeviceRun{"Dispositivo {}", "Device {}"};
inline constexpr Text ComputerRun{"Computador", "Computer"};
inline constexpr const char* OneItem = " item";
inline constexpr Text Items{" itens", " items"};

// An item of the list: its kind, then " - " and where it was.
inline constexpr Text FileItem{"Arquivo", "File"};
inline constexpr Text FolderItem{"Pasta", "Folder"};
inline constexpr Text ValueItem{"Valor", "Value"};
inline constexpr Text KeyItem{"Chave", "Key"};
inline constexpr Text DamagedItem{" - danificado", " - damaged"};

// The serial number of the device asked for, twice.
inline constexpr Text InsertDeviceBox{
    "Insira o dispositivo de onde vieram estes itens (número de série {}) e pressione OK.",
    "Insert the device these items came from (serial number {}) and press OK."};
// Where the item was, then why it stays.
inline constexpr Text NotRestored{"[VX] - Não foi possível restaurar {}: {}", "[VX] - Could not restore {}: {}"};
inline constexpr Text Restored{"[VX] > Restaurado: {}", "[VX] > Restored: {}"};
// The box after a restore: the count restored, and the count not restored when there is one.
inline constexpr Text RestoredCount{"Itens restaurados: {}", "Items restored: {}"};
inline constexpr Text NotRestoredCount{"\rNão restaurados: {}", "\rNot restored: {}"};

}  // namespace quarantine

}  // namespace vx::tools::texts
